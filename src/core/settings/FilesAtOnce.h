#pragma once

// The Files at once setting: 1 to 8 files converted at the same time, or 0 for Auto.
namespace FilesAtOnce {

// How many files a batch converts at once for a setting: the setting itself when it is 1 to 8, otherwise
// (Auto, or anything out of range) one per processor core, at least 1 and at most 8.
int Resolve(int setting);

} // namespace FilesAtOnce
