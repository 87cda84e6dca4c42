// Shared fixture of the module tests: the real epl2drv.so, loaded once by name, and a fresh job
// (zeroed record, handle, barcode object, recording sink) per test.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

#include "host_job.h"
#include "module.h"
#include "services.h"

namespace epl2::test {

inline host::Module& driver_module() {
    static host::Module module(EPL2_MODULE_PATH);
    return module;
}

class DriverTest : public ::testing::Test {
   protected:
    DriverTest() : job(driver_module(), sink) {}

    const host::EntryPoints& ep() { return job.entry(); }
    RecordView rec() { return job.record(); }
    // Everything the driver sent since the last call, as one string.
    std::string take_bytes() {
        std::string out = sink.bytes();
        sink.clear();
        return out;
    }

    host::RecordingSink sink;
    host::HostJob job;
};

// The usual ending of a command line on the wire: its own LF, then the separate CR LF.
inline std::string line(std::string_view text) {
    return std::string(text) + "\n\r\n";
}

}  // namespace epl2::test
