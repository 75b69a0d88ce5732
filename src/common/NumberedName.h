#pragma once

#include <string>

// "name (n).ext" for "name.ext": the rule by which an output takes the next free name, the same in the
// program (which chooses names before a file starts) and the tool (which finds a name taken at the
// end). The extension is the file name's last one; a dot that begins the name is not an extension.
inline std::string NumberedName(const std::string& fileName, int n)
{
    const size_t dot = fileName.rfind('.');
    const size_t at = dot == std::string::npos || dot == 0 ? fileName.size() : dot;
    return fileName.substr(0, at) + " (" + std::to_string(n) + ")" + fileName.substr(at);
}
