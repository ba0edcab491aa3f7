// Path helpers with the platform's separator, as the shell path functions behave on Windows.
#pragma once

#include <string>
#include <string_view>

namespace ventrel {

// The platform's preferred separator: '\\' on Windows, '/' elsewhere.
extern const char kPathSeparator;

// True for every byte the platform accepts as a separator.
bool IsPathSeparator(char c);

// Length of the root that starts `path` ("/" here; "C:\", "\\server\share" or "\" on Windows), 0
// for a relative path. The root always keeps its separator.
std::size_t PathRootLength(std::string_view path);

// Joins two parts with exactly one separator. An empty part yields the other one.
std::string PathAppend(std::string_view base, std::string_view more);

// Drops the last component and the separator before it; a root stays a root.
std::string PathFolderPart(std::string_view path);

// The last component alone (the file name).
std::string PathLastComponent(std::string_view path);

// Removes everything from the last '.' of the last component, then adds `extension` at the end.
std::string PathReplaceExtension(std::string_view path, std::string_view extension);

}  // namespace ventrel
