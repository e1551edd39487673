// Writes the library tests' module to the file named by the argument.
#include "songs_module.h"

#include <fstream>

int main(int argc, char **argv)
{
    const std::vector<uint8_t> bytes = modwriter::write(libtest::songsModule());
    std::ofstream file(argc == 2 ? argv[1] : "", std::ios::binary);
    file.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    return file ? 0 : 1;
}
