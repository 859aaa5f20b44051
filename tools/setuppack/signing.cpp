#include "tools/setuppack/signing.h"

#include <cstdint>
#include <filesystem>
#include <fstream>

namespace setuppack {

namespace fs = std::filesystem;

std::vector<std::string> SignCommand(const SIGNOPTIONS& options, const std::string& file,
                                     const std::string& signedcopy) {
    std::vector<std::string> command = {options.Tool, "sign",      "-certs", options.Certificate,
                                        "-key",       options.Key, "-h",     "sha256"};
    if (!options.Timestamp.empty()) {
        command.push_back("-ts");
        command.push_back(options.Timestamp);
    }
    command.insert(command.end(), {"-in", file, "-out", signedcopy});
    return command;
}

bool SignFile(const SIGNOPTIONS& options, const std::string& file, REPORT& report, std::ostream& summary) {
    // A file that is signed already gets a new signature, not a second one.
    const std::string input = HasSignature(file) ? file + ".unsigned" : file;
    std::error_code error;
    if (input != file) {
        const int removed = RunTool({options.Tool, "remove-signature", "-in", file, "-out", input});
        if (removed != 0) {
            report.Add(file, 0, "its old signature cannot be removed (" + options.Tool + " failed)");
            return false;
        }
    }
    const std::string output = file + ".signed";
    const int code = RunTool(SignCommand(options, input, output));
    if (input != file)
        fs::remove(input, error);
    if (code != 0) {
        fs::remove(output, error);
        report.Add(file, 0,
                   code < 0 ? "cannot be signed: " + options.Tool + " cannot be started (is it installed?)"
                            : "cannot be signed: " + options.Tool + " ended with " + std::to_string(code));
        return false;
    }
    fs::rename(output, file, error);
    if (error) {
        report.Add(file, 0, "the signed file cannot replace it: " + error.message());
        return false;
    }
    summary << "signed " << file << "\n";
    return true;
}

bool HasSignature(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    uint8_t header[4096] = {};
    in.read(reinterpret_cast<char*>(header), sizeof(header));
    const size_t n = static_cast<size_t>(in.gcount());
    auto get16 = [&](size_t at) { return at + 2 <= n ? uint32_t(header[at] | header[at + 1] << 8) : 0u; };
    auto get32 = [&](size_t at) { return get16(at) | get16(at + 2) << 16; };
    if (n < 0x40 || header[0] != 'M' || header[1] != 'Z')
        return false;
    const size_t pe = get32(0x3C);
    if (get32(pe) != 0x00004550)
        return false;
    const size_t optional = pe + 24;
    const uint32_t magic = get16(optional);
    const size_t directories = optional + (magic == 0x20B ? 112 : 96);
    // The certificate table: its file offset and size.
    return get32(directories + 4 * 8) != 0 && get32(directories + 4 * 8 + 4) != 0;
}

} // namespace setuppack
