#include "publisher/publish_options.h"

#include "base/number_text.h"
#include "base/gbk_text.h"
#include "manifest/release_vocabulary.h"
#include "publisher/publisher_cli.h"

#include <charconv>

namespace {

// A header value ends up as one manifest line, so it must stay on one line,
// survive the trip to GBK and keep what the reader would trim or unquote.
bool ToHeaderText(const std::string& utf8, std::string& gbk) {
    if (!utf8.empty() && (utf8.front() == ' ' || utf8.back() == ' ' || utf8.front() == '"')) return false;
    for (const char c : utf8) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
    }
    gbk = Utf8ToGbk(utf8);
    return GbkToUtf8(gbk) == utf8;
}

// A data-package type: decimal, other than the program's 1, within 32 bits.
bool ParsePackageType(const std::string& text, int32_t& type) {
    if (text.empty() || text.size() > 10) return false;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), type);
    return ec == std::errc() && end == text.data() + text.size() && type > 1;
}

// Up to a hundred years: what lies beyond is a typing error.
bool ParseExpiryDays(const std::string& text, int32_t& days) {
    const std::optional<uint64_t> number = ParseDecimalCount(text);
    if (!number || *number < 1 || *number > 36500) return false;
    days = static_cast<int32_t>(*number);
    return true;
}

constexpr char kShareWanted[] = "a share of installations in percent: 0 to 100, at most one decimal";

bool IsGrowthOption(const std::string& arg) { return arg == "--rollout-days" || arg == "--rollout-start"; }

// --rollout-days DAYS or --rollout-start TIME at args[i], which moves on to
// its value; false with the reason when the value is wanting.
bool ParseGrowthOption(const std::vector<std::string>& args, size_t& i, RolloutRequest& rollout, std::string& error) {
    const bool days = args[i] == "--rollout-days";
    const std::string* value = i + 1 < args.size() ? &args[++i] : nullptr;
    if (days) {
        if (value) rollout.Days = ParseRolloutDays(*value);
        if (rollout.Days) return true;
        error = "--rollout-days needs a number of days from 1 to " + std::to_string(kMaxRolloutDays);
    } else {
        if (value) rollout.Start = ParseUtcTime(*value);
        if (rollout.Start) return true;
        error = "--rollout-start needs a time YYYY-MM-DDTHH:MM:SSZ";
    }
    return false;
}

// A start is the start of a growth.
bool IsWholeGrowth(const RolloutRequest& rollout, std::string& error) {
    if (!rollout.Start || rollout.Days) return true;
    error = "--rollout-start belongs to --rollout-days";
    return false;
}

// The share at args[i] for the option named, moving on to it.
bool ParseShareAt(const std::vector<std::string>& args, size_t& i, const std::string& option, uint32_t& share,
                  std::string& error) {
    std::optional<uint32_t> parsed;
    if (i + 1 < args.size()) parsed = ParseRolloutShare(args[++i]);
    if (!parsed) error = option + " needs " + kShareWanted;
    share = parsed.value_or(0);
    return parsed.has_value();
}

}  // namespace

ReleaseRollout RolloutRequest::At(UtcTime published) const {
    ReleaseRollout rollout;
    rollout.Share = Share;
    if (Days) rollout.Growth = RolloutGrowth{Start.value_or(published), *Days};
    return rollout;
}

const char* const kPublisherUsage =
    "usage:\n"
    "  publisher --program --version V [--region R] [--unconditional] [--notify] [--sign KEY [--expires DAYS]\n"
    "            [--allow-older-time]] [--no-gzip] [--pack-max BYTES] [--previous DIR]... RELEASE_DIR OUT_DIR\n"
    "      writes OUT_DIR/1/UpdateConfig.ini and the release's files below OUT_DIR/1/\n"
    "  publisher --package TYPE [--version V] [--sign KEY [--expires DAYS] [--allow-older-time]] [--no-gzip]\n"
    "            [--pack-max BYTES] [--previous DIR]... RELEASE_DIR OUT_DIR\n"
    "      writes OUT_DIR/TYPE/config.ini (file sections only), OUT_DIR/TYPE/UpdateConfig.ini\n"
    "      (the program's layout, for the update dialog; V is the version it shows)\n"
    "      and the release's files below OUT_DIR/TYPE/ (TYPE: a number other than 1)\n"
    "      Both take [--rollout SHARE [--rollout-days DAYS [--rollout-start YYYY-MM-DDTHH:MM:SSZ]]].\n"
    "  publisher rollout OUT_DIR (--program SHARE | --package TYPE SHARE) [--rollout-days DAYS\n"
    "            [--rollout-start TIME]] [--sign KEY [--allow-older-time]]\n"
    "      changes the rollout of the release in OUT_DIR: its manifests are rewritten (and\n"
    "      signed again, at a new publication time), its files are left as they are\n"
    "  publisher keygen KEY\n"
    "      makes a release key: the private key into the new file KEY (keep it off the\n"
    "      update server), the public key line into KEY.pub and onto standard output\n"
    "--sign KEY: every file section gets SHA256, and each manifest a signed statement beside it\n"
    "(UpdateConfig.ini.sig, config.ini.sig) that clients with [Update] ReleaseKey require: the\n"
    "target, the publication time (now, in UTC) and the manifest's SHA-256. A time not later than\n"
    "that of the release in OUT_DIR is refused (clients that took it refuse an older one) unless\n"
    "--allow-older-time. --expires DAYS: clients refuse the release DAYS days after publication.\n"
    "For tests only: the environment variable PUBLISHER_TEST_CLOCK=YYYY-MM-DDTHH:MM:SSZ stands in\n"
    "for the clock.\n"
    "Each file whose gzip form is at most 90% of its size travels compressed: NAME.gz is\n"
    "written beside NAME and its section gets GZSIZE; --no-gzip publishes the files plain only.\n"
    "--previous DIR (repeatable): an earlier release folder; each file that changed since gets\n"
    "NAME.<earlier MD5>.patch beside it, listed in PATCH, where that is at most 90% of what\n"
    "would travel otherwise.\n"
    "--pack-max BYTES (65536 unless given; 0: none): each file that travels in at most BYTES\n"
    "(its .gz, or itself) is also written into the release's pack, packs/<SHA-256 digits>.pack,\n"
    "which updaters fetch by byte ranges; its section gets PACK, PACKOFFSET, PACKLENGTH and\n"
    "PACKFORM. Packs of earlier publishes are removed.\n"
    "MODIFYTIME is the file's modification time in UTC.\n"
    "--rollout SHARE: silent runs of only that share of installations (0 to 100 percent, at most\n"
    "one decimal; 0 pauses the release) take it, the update dialog any installation unless paused.\n"
    "--rollout-days DAYS: the share grows linearly to 100 over DAYS days from --rollout-start\n"
    "(UTC), or from the publication time. A rollout sets the share and the growth together.\n";

std::optional<PublishOptions> ParsePublishArguments(const std::vector<std::string>& args, std::string& error) {
    PublishOptions options;
    bool program = false;
    bool package = false;
    bool haveVersion = false;
    bool haveRollout = false;
    RolloutRequest rollout;
    std::vector<std::string> folders;

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--program") {
            program = true;
        } else if (arg == "--package") {
            if (!hasValue || !ParsePackageType(args[i + 1], options.PackageType)) {
                error = "--package needs a package type: a number other than 1";
                return std::nullopt;
            }
            package = true;
            ++i;
        } else if (arg == "--version" || arg == "--region") {
            std::string& target = arg == "--version" ? options.Version : options.Region;
            if (!hasValue || !ToHeaderText(args[i + 1], target)) {
                error = arg + " needs a one-line value that can be written in GBK";
                return std::nullopt;
            }
            if (arg == "--version") haveVersion = true;
            ++i;
        } else if (arg == "--sign") {
            if (!hasValue || args[i + 1].empty()) {
                error = "--sign needs the private key file";
                return std::nullopt;
            }
            options.SigningKeyFile = PathFromUtf8(args[i + 1]);
            ++i;
        } else if (arg == "--expires") {
            if (!hasValue || !ParseExpiryDays(args[i + 1], options.ExpiresDays.emplace())) {
                error = "--expires needs a number of days from 1 to 36500";
                return std::nullopt;
            }
            ++i;
        } else if (arg == "--allow-older-time") {
            options.AllowOlderTime = true;
        } else if (arg == "--previous") {
            if (!hasValue || args[i + 1].empty()) {
                error = "--previous needs an earlier release folder";
                return std::nullopt;
            }
            options.PreviousFolders.push_back(PathFromUtf8(args[++i]));
        } else if (arg == "--pack-max") {
            const std::optional<uint64_t> bytes = hasValue ? ParseDecimalCount(args[i + 1]) : std::nullopt;
            if (!bytes) {
                error = "--pack-max needs a number of bytes (0: no pack)";
                return std::nullopt;
            }
            options.PackMaxBytes = *bytes;
            ++i;
        } else if (arg == "--rollout") {
            if (!ParseShareAt(args, i, arg, rollout.Share, error)) return std::nullopt;
            haveRollout = true;
        } else if (IsGrowthOption(arg)) {
            if (!ParseGrowthOption(args, i, rollout, error)) return std::nullopt;
        } else if (arg == "--no-gzip") {
            options.Compress = false;
        } else if (arg == "--unconditional") {
            options.Unconditional = true;
        } else if (arg == "--notify") {
            options.Notify = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return std::nullopt;
        } else {
            folders.push_back(arg);
        }
    }

    if (program == package) {
        error = "give exactly one of --program and --package TYPE";
        return std::nullopt;
    }
    if (program && (!haveVersion || options.Version.empty())) {
        error = "--program needs --version";
        return std::nullopt;
    }
    if (package && (!options.Region.empty() || options.Unconditional || options.Notify)) {
        error = "--region, --unconditional and --notify belong to --program";
        return std::nullopt;
    }
    if (!options.IsSigned() && (options.ExpiresDays || options.AllowOlderTime)) {
        error = "--expires and --allow-older-time belong to --sign";
        return std::nullopt;
    }
    if (!haveRollout && (rollout.Days || rollout.Start)) {
        error = "--rollout-days and --rollout-start belong to --rollout";
        return std::nullopt;
    }
    if (!IsWholeGrowth(rollout, error)) return std::nullopt;
    if (folders.size() != 2) {
        error = "give the release folder and the output folder";
        return std::nullopt;
    }
    if (haveRollout) options.Rollout = rollout;
    if (program) options.PackageType = 1;
    options.ReleaseFolder = PathFromUtf8(folders[0]);
    options.OutputFolder = PathFromUtf8(folders[1]);
    return options;
}

std::optional<PublishOptions> ParseRolloutArguments(const std::vector<std::string>& args, std::string& error) {
    PublishOptions options;
    RolloutRequest rollout;
    int targets = 0;
    std::vector<std::string> folders;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--program" || arg == "--package") {
            options.PackageType = 1;
            if (arg == "--package" && (i + 1 >= args.size() || !ParsePackageType(args[++i], options.PackageType))) {
                error = "--package needs a package type: a number other than 1";
                return std::nullopt;
            }
            if (!ParseShareAt(args, i, arg, rollout.Share, error)) return std::nullopt;
            ++targets;
        } else if (IsGrowthOption(arg)) {
            if (!ParseGrowthOption(args, i, rollout, error)) return std::nullopt;
        } else if (arg == "--sign") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = "--sign needs the private key file";
                return std::nullopt;
            }
            options.SigningKeyFile = PathFromUtf8(args[++i]);
        } else if (arg == "--allow-older-time") {
            options.AllowOlderTime = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg + " for rollout";
            return std::nullopt;
        } else {
            folders.push_back(arg);
        }
    }
    if (targets != 1) {
        error = "rollout needs exactly one of --program SHARE and --package TYPE SHARE";
        return std::nullopt;
    }
    if (!IsWholeGrowth(rollout, error)) return std::nullopt;
    if (!options.IsSigned() && options.AllowOlderTime) {
        error = "--allow-older-time belongs to --sign";
        return std::nullopt;
    }
    if (folders.size() != 1) {
        error = "rollout needs the output folder of the release";
        return std::nullopt;
    }
    options.OutputFolder = PathFromUtf8(folders[0]);
    options.Rollout = rollout;
    return options;
}
