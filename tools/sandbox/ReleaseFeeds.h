#pragma once

#include <QString>

struct SandboxCall;
struct SandboxOptions;

// The release and beta appcasts, and the crash report endpoint, of the companion host.
// A feed is <data>/updates/versions.rss (or updates/beta/versions.rss) when that file
// exists, else a generated one; received reports are kept as <data>/crash-reports/*.json.
class ReleaseFeeds
{
public:
    // True when the call was one of ours (answered).
    static bool handle(SandboxCall &call, const SandboxOptions &options);

    static constexpr char kReleaseVersion[] = "1.0.0";
    static constexpr char kBetaVersion[] = "1.1.0b1";
    static constexpr qsizetype kMaxReportBytes = 1024 * 1024;
};
