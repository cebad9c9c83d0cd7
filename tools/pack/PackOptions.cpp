#include "PackOptions.h"

const wchar_t kPackUsage[] =
    L"usage: OmbrixPack --game DIR [--launcher DIR] --out DIR [--package-mib N]\n";

namespace {

bool ParseMiB(const std::wstring& text, int64_t* value) {
    if (text.empty() || text.size() > 6) return false;
    int64_t n = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        n = n * 10 + (c - L'0');
    }
    // Each package range must stay below 2 GiB: lengths are signed 32-bit in the configuration.
    if (n < 1 || n > 2047) return false;
    *value = n;
    return true;
}

}  // namespace

bool ParsePackOptions(const std::vector<std::wstring>& args, PackOptions* options,
                      std::wstring* error) {
    bool seenPackage = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& option = args[i];
        if (i + 1 >= args.size()) {
            *error = L"missing value after " + option;
            return false;
        }
        const std::wstring& value = args[++i];
        std::wstring* target = nullptr;
        if (option == L"--game") {
            target = &options->gameDir;
        } else if (option == L"--launcher") {
            target = &options->launcherDir;
        } else if (option == L"--out") {
            target = &options->outDir;
        } else if (option == L"--package-mib") {
            if (seenPackage) {
                *error = L"--package-mib given twice";
                return false;
            }
            seenPackage = true;
            if (!ParseMiB(value, &options->packageMiB)) {
                *error = L"--package-mib wants a whole number from 1 to 2047";
                return false;
            }
            continue;
        } else {
            *error = L"unknown option " + option;
            return false;
        }
        if (!target->empty()) {
            *error = option + L" given twice";
            return false;
        }
        if (value.empty()) {
            *error = L"empty value for " + option;
            return false;
        }
        *target = value;
    }
    if (options->gameDir.empty() || options->outDir.empty()) {
        *error = L"--game and --out are required";
        return false;
    }
    return true;
}
