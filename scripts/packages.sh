# Sourced by the scripts: ensure_packages PACKAGE... installs those Debian
# packages that are missing, with apt-get (through sudo when not root).
# The package lists are refreshed once, before the first install.

ensure_packages() {
    local missing=() package
    for package in "$@"; do
        dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null 2>&1; then
            echo "missing packages: ${missing[*]}; run as root or install sudo" >&2
            return 1
        fi
        sudo=(sudo)
    fi
    echo "installing: ${missing[*]}"
    if [ -z "${PACKAGES_UPDATED:-}" ]; then
        "${sudo[@]}" apt-get update -q || return 1
        PACKAGES_UPDATED=1
    fi
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
}

# What building and running the plug-in, kvplay, the GStreamer plug-in (gst/)
# and the native tests needs.
BASE_PACKAGES=(build-essential cmake git pkg-config googletest libgtest-dev libbenchmark-dev
               libsndfile1-dev libcli11-dev libsdl2-dev
               libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-tools
               gstreamer1.0-plugins-base gstreamer1.0-plugins-base-apps)
# The PowerPC cross build and its emulator; clang for the fuzz targets.
TEST_PACKAGES=(g++-powerpc-linux-gnu qemu-user clang libclang-rt-14-dev)
