// Writes the modules the command-line checks play into the folder named by
// the argument: songs.dbm (the library tests' module, whose echo outlasts
// the longest tail) and quiet.dbm, whose tail falls silent: a sample without
// a loop and no echo.
#include "library_support.h"

int main(int argc, char **argv)
{
    const std::string folder = argc == 2 ? argv[1] : ".";
    modwriter::ModuleSpec quiet = modwriter::minimalModule(4);
    quiet.instruments[0].flags = 0;
    quiet.samples[0].frames.assign(5000, 0);
    for (size_t i = 0; i < quiet.samples[0].frames.size(); ++i)
        quiet.samples[0].frames[i] = int32_t((i * 37) % 2000) - 1000;
    const modwriter::Cell note = quiet.patterns[0].at(0, 0, 4);
    quiet.patterns[0].at(40, 1, 4) = note;
    return libtest::writeFile(folder + "/songs.dbm", modwriter::write(libtest::songsModule())) &&
                   libtest::writeFile(folder + "/quiet.dbm", modwriter::write(quiet)) ? 0 : 1;
}
