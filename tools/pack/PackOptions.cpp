#include "PackOptions.h"

#include <set>

const wchar_t kPackUsage[] =
    L"usage: OmbrixPack --game DIR [--launcher DIR] --out DIR [--package-mib N]"
    L" [--chunk-mib N] [--chunk-only]\n"
    L"       OmbrixPack --game DIR [--launcher DIR] --cdn TREE --release NAME [--package-mib N]"
    L" [--rehash]\n"
    L"                  [--chunk-mib N] [--chunk-only]\n"
    L"                  [--key FILE [--expires-days N]]\n"
    L"       OmbrixPack --cdn TREE --prune --keep N\n"
    L"       OmbrixPack --cdn TREE --notice FILE --release NAME [--code-list \"a|b\"] "
    L"[--url BASE]\n"
    L"                  [--key FILE [--expires-days N]]\n"
    L"       OmbrixPack --new-key FILE\n";

namespace {

bool ParseCount(const std::wstring& text, int64_t low, int64_t high, int64_t* value) {
    if (text.empty() || text.size() > 6) return false;
    int64_t n = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        n = n * 10 + (c - L'0');
    }
    if (n < low || n > high) return false;
    *value = n;
    return true;
}

}  // namespace

bool ParsePackOptions(const std::vector<std::wstring>& args, PackOptions* options,
                      std::wstring* error) {
    std::set<std::wstring> seen;
    std::wstring keepText;
    std::wstring mibText;
    std::wstring daysText;
    std::wstring chunkText;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& option = args[i];
        if (!seen.insert(option).second) {
            *error = option + L" given twice";
            return false;
        }
        if (option == L"--prune" || option == L"--rehash" || option == L"--chunk-only") continue;
        std::wstring* target = nullptr;
        if (option == L"--game")
            target = &options->gameDir;
        else if (option == L"--launcher")
            target = &options->launcherDir;
        else if (option == L"--out")
            target = &options->outDir;
        else if (option == L"--cdn")
            target = &options->cdnDir;
        else if (option == L"--release")
            target = &options->release;
        else if (option == L"--notice")
            target = &options->noticeFile;
        else if (option == L"--code-list")
            target = &options->codeList;
        else if (option == L"--url")
            target = &options->url;
        else if (option == L"--package-mib")
            target = &mibText;
        else if (option == L"--keep")
            target = &keepText;
        else if (option == L"--chunk-mib")
            target = &chunkText;
        else if (option == L"--new-key")
            target = &options->newKey;
        else if (option == L"--key")
            target = &options->key;
        else if (option == L"--expires-days")
            target = &daysText;
        if (target == nullptr) {
            *error = L"unknown option " + option;
            return false;
        }
        if (i + 1 >= args.size()) {
            *error = L"missing value after " + option;
            return false;
        }
        *target = args[++i];
        if (target->empty() && option != L"--code-list") {
            *error = L"empty value for " + option;
            return false;
        }
    }
    options->codeListGiven = seen.count(L"--code-list") > 0;
    options->rehash = seen.count(L"--rehash") > 0;
    // Each package range must stay below 2 GiB: lengths are signed 32-bit in the configuration.
    if (!mibText.empty() && !ParseCount(mibText, 1, 2047, &options->packageMiB)) {
        *error = L"--package-mib wants a whole number from 1 to 2047";
        return false;
    }
    options->chunkOnly = seen.count(L"--chunk-only") > 0;
    if (!chunkText.empty() && !ParseCount(chunkText, 1, 999999, &options->chunkMiB)) {
        *error = L"--chunk-mib wants a whole number of MiB, at least 1";
        return false;
    }
    if (!keepText.empty() && !ParseCount(keepText, 1, 999999, &options->keep)) {
        *error = L"--keep wants a whole number of releases, at least 1";
        return false;
    }

    if (!daysText.empty() && !ParseCount(daysText, 1, 3650, &options->expiresDays)) {
        *error = L"--expires-days wants a whole number of days from 1 to 3650";
        return false;
    }
    if (seen.count(L"--expires-days") && !seen.count(L"--key")) {
        *error = L"--expires-days belongs to --key";
        return false;
    }

    std::set<std::wstring> allowed;
    if (seen.count(L"--new-key")) {
        options->mode = PackMode::NewKey;
        allowed = {L"--new-key"};
    } else if (seen.count(L"--prune")) {
        options->mode = PackMode::Prune;
        allowed = {L"--cdn", L"--prune", L"--keep"};
        if (!seen.count(L"--cdn") || !seen.count(L"--keep")) {
            *error = L"--prune needs --cdn and --keep";
            return false;
        }
    } else if (seen.count(L"--notice")) {
        options->mode = PackMode::Notice;
        allowed = {L"--cdn", L"--notice", L"--release",     L"--code-list",
                   L"--url", L"--key",    L"--expires-days"};
        if (!seen.count(L"--cdn") || !seen.count(L"--release")) {
            *error = L"--notice needs --cdn and --release";
            return false;
        }
    } else {
        options->mode = PackMode::Publish;
        allowed = {L"--game",         L"--launcher",    L"--out",       L"--cdn",
                   L"--release",      L"--package-mib", L"--rehash",    L"--key",
                   L"--expires-days", L"--chunk-mib",   L"--chunk-only"};
        const bool out = seen.count(L"--out") > 0;
        const bool cdn = seen.count(L"--cdn") > 0;
        if (!seen.count(L"--game") || out == cdn) {
            *error = L"--game and one of --out or --cdn are required";
            return false;
        }
        if (cdn != (seen.count(L"--release") > 0)) {
            *error = cdn ? L"--cdn needs --release" : L"--release belongs to --cdn";
            return false;
        }
    }
    for (const std::wstring& option : seen) {
        if (!allowed.count(option)) {
            *error = option + L" does not belong to this form";
            return false;
        }
    }
    return true;
}
