// The test host: our stand-in host's services installed for the plug-in's
// code, and the leak check every test that touches them runs inside.
#pragma once

#include "base/host_services.h"
#include "host/services.h"

#include <gtest/gtest.h>

#include <cstddef>

namespace testsupport {

// Installs our host's service record (interface 10) and host version 9, as
// InitPlugin stores them. Any number of calls; the record lives as long as
// the process.
inline void useHost()
{
    dbm::pluginGlobals.host = kvhost::serviceRecord(10);
    dbm::pluginGlobals.hostVersion = 9;
}

// Guards one test's use of the host. Construction clears the host's fault
// controls and recorded calls and notes the outstanding blocks, open files
// and tag objects; destruction clears the controls again and expects all
// three as they were (a non-fatal failure names the one that differs).
class LeakCheck {
public:
    LeakCheck()
    {
        kvhost::resetHostControls();
        blocks_ = kvhost::outstandingBlocks();
        files_ = kvhost::openFiles();
        tags_ = kvhost::outstandingTagObjects();
    }
    ~LeakCheck()
    {
        kvhost::resetHostControls();
        EXPECT_EQ(kvhost::outstandingBlocks(), blocks_) << "host blocks left outstanding";
        EXPECT_EQ(kvhost::openFiles(), files_) << "files left open";
        EXPECT_EQ(kvhost::outstandingTagObjects(), tags_) << "tag objects left";
    }
    LeakCheck(const LeakCheck &) = delete;
    LeakCheck &operator=(const LeakCheck &) = delete;

private:
    size_t blocks_, files_, tags_;
};

// Fixture: useHost() before the test and a LeakCheck around it. What a
// derived fixture releases in TearDown or in its members' destructors is
// released before the check.
class HostTest : public ::testing::Test {
protected:
    HostTest() { useHost(); }

private:
    LeakCheck leakCheck_;
};

} // namespace testsupport
