// drivlet-cli: the headless front end. Runs the same engine as the tray program.
#include "cli/RecordCommands.h"
#include "core/app/ProgramDataRoot.h"
#include "core/drives/VolumeInfo.h"
#include "platform/VolumeSystem.h"

#include <cstring>
#include <iostream>
#include <string>

namespace {

void Usage(std::ostream& out) {
    out << "usage: drivlet-cli show FILE        print a job, drive or settings file as JSON\n"
           "       drivlet-cli write FILE       save the record given as JSON on standard input\n"
           "       drivlet-cli id               this computer's identity\n";
}

} // namespace

int main(int argc, char** argv) {
    using namespace drivlet;
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        Usage(argc < 2 ? std::cerr : std::cout);
        return argc < 2 ? 2 : 0;
    }
    const std::string verb = argv[1];
    std::filesystem::path root;
    try {
        root = ProgramDataRoot(ProcessEnvironment());
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 3;
    }
    if (verb == "id" && argc == 2) {
        const std::string id = ComputerIdentity(*MakeVolumeSystem());
        if (id.empty()) {
            std::cerr << "this computer's identity cannot be read\n";
            return 3;
        }
        std::cout << id << "\n";
        return 0;
    }
    if ((verb == "show" || verb == "write") && argc == 3) {
        return verb == "show" ? cli::ShowRecord(argv[2], root, std::cout, std::cerr)
                              : cli::WriteRecord(argv[2], root, std::cin, std::cerr);
    }
    Usage(std::cerr);
    return 2;
}
