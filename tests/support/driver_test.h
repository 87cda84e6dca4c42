// Shared fixture of the module tests: the real epl2drv.so, loaded once by name, and a fresh job
// (zeroed record, handle, barcode object, recording sink) per test.
#pragma once

#include <gtest/gtest.h>

#include <memory>

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

    host::RecordingSink sink;
    host::HostJob job;
};

}  // namespace epl2::test
