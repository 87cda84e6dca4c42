// A small built-in job through the driver module, as a host drives it: model selection, the job
// header, a stored form with a frame and a line, its recall and the print command. Writes the
// printer bytes to a file or to standard output.
#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <string>

#include "host_job.h"
#include "module.h"
#include "services.h"

int main(int argc, char** argv) {
    using namespace epl2;
    try {
        host::Module module(host::default_module_path(argc > 0 ? argv[0] : nullptr));
        host::RecordingSink sink;
        host::HostJob job(module, sink);
        const auto& ep = job.entry();

        job.select_model(0, 0, -1, -1, 1);  // a PrinterType 1 model at 203 dpi
        job.set_label_name("DEMO.LBL");
        job.record().set(record::label_height, 2000);
        job.call(ep.maininit);
        job.call(ep.repeat_begin, 1);
        for (std::uint8_t mode : {std::uint8_t{0}, std::uint8_t{3}, std::uint8_t{5}}) {
            job.set_form_mode(mode);
            job.call(ep.pageinit, 0);
            job.call(ep.setclip, 0, 0, 4000, 2000);
            job.call(ep.drawbox, 100, 100, 3900, 1900, 20, 0, 0, 0);
            job.call(ep.drawline, 500, 500, 1500, 520, 0, 100, 0, 0);
            job.call(ep.page_end, 0);
        }
        job.call(ep.main_end);

        const std::string bytes = sink.bytes();
        if (argc > 1) {
            std::ofstream out(argv[1], std::ios::binary);
            out << bytes;
            if (!out) {
                std::cerr << "epl2demo: cannot write " << argv[1] << "\n";
                return 1;
            }
            std::cerr << "epl2demo: " << bytes.size() << " bytes written to " << argv[1] << "\n";
        } else {
            std::cout << bytes;
        }
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "epl2demo: " << e.what() << "\n";
        return 1;
    }
}
