#pragma once

// How the process meets the limits it is started under, set up first thing in main().
class ResourceLimits {
public:
    // A round opens one socket per active host at once; a desktop session's default soft limit
    // of 1024 descriptors would fail a thousand-host round, so the soft limit is raised to the
    // hard one. Returns the soft descriptor limit in force afterwards.
    static long raiseDescriptorLimit();
    // A write past the file size limit (RLIMIT_FSIZE) would end the process with SIGXFSZ; ignored,
    // it fails like a write to a full disk, which every file write here already survives.
    static void ignoreFileSizeSignal();
};
