#pragma once

// A round opens one socket per active host at once; a desktop session's default soft limit of
// 1024 descriptors would fail a thousand-host round, so the soft limit is raised to the hard one.
class ResourceLimits {
public:
    // Returns the soft descriptor limit in force afterwards.
    static long raiseDescriptorLimit();
};
