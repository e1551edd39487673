// Shared fixture for the reader tests: every case starts with clean host
// controls and must end with no block outstanding and no file open.
#pragma once

#include "tests/support/load.h"

#include <gtest/gtest.h>

#include <functional>

namespace moduletest {

using modwriter::Chunk;
using modwriter::ModuleSpec;
using testsupport::ModuleHandle;

class ReaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::ensureHost();
        kvhost::resetHostControls();
        blocksBefore = kvhost::outstandingBlocks();
    }
    void TearDown() override
    {
        kvhost::resetHostControls();
        EXPECT_EQ(kvhost::outstandingBlocks(), blocksBefore);
        EXPECT_EQ(kvhost::openFiles(), 0u);
    }
    size_t blocksBefore = 0;
};

// The file of `desc` with its chunk list edited first.
inline std::vector<uint8_t> edited(const ModuleSpec &desc,
                                   const std::function<void(std::vector<Chunk> &)> &edit)
{
    std::vector<Chunk> chunks = modwriter::chunks(desc);
    edit(chunks);
    return modwriter::assemble(chunks, desc.version, desc.revision);
}

inline ModuleHandle load(const std::vector<uint8_t> &bytes)
{
    int32_t code = 0;
    ModuleHandle module(testsupport::loadBytes(bytes, &code));
    EXPECT_NE(module, nullptr) << "refused with code " << code;
    return module;
}

inline ModuleHandle load(const ModuleSpec &desc)
{
    return load(modwriter::write(desc));
}

// Loads a file that must be refused and gives the error code.
inline int32_t refusal(const std::vector<uint8_t> &bytes)
{
    int32_t code = 0;
    ModuleHandle module(testsupport::loadBytes(bytes, &code));
    EXPECT_EQ(module, nullptr);
    return code;
}

inline int32_t refusal(const ModuleSpec &desc)
{
    return refusal(modwriter::write(desc));
}

} // namespace moduletest
