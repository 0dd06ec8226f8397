#pragma once

#include <string>

// The MD5 signature of a file: 32 lowercase hexadecimal digits.
// Returns 0, or an error code with `signature` left unchanged.
int md5_of_file(const std::string& path, std::string& signature);
