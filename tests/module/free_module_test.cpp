// freeModule releases a module in any state of construction.
#include "tests/module/module_test.h"

#include "module/release.h"

namespace moduletest {
namespace {

using namespace dbm;

class FreeModule : public ReaderTest {};

TEST_F(FreeModule, NullIsAccepted)
{
    freeModule(nullptr);
}

// Counts larger than what was filled, empty slots and missing arrays.
TEST_F(FreeModule, PartlyBuiltModule)
{
    Module *module = hostNew<Module>();
    ASSERT_NE(module, nullptr);
    module->instrumentCount = 3;
    module->instruments = hostArray<Instrument *>(3);
    module->instruments[1] = hostNew<Instrument>();
    module->instruments[1]->name = hostArray<char>(4);
    module->songCount = 2;
    module->songs = hostArray<Song *>(2);
    module->songs[0] = hostNew<Song>();
    module->songs[0]->orders = hostArray<uint16_t>(5);
    module->patternCount = 9; // no pattern array
    module->sampleCount = 2;
    module->samples = hostArray<Sample *>(2);
    module->samples[1] = hostNew<Sample>();
    module->samples[1]->data = hostArray<int16_t>(10);
    module->volumeEnvelopeCount = 4;
    module->panningEnvelopes = hostArray<Envelope>(1);
    module->name = hostArray<char>(2);
    freeModule(module);
}

} // namespace
} // namespace moduletest
