// Under wine, the Windows path of a file named by its host (Unix) path; elsewhere the path as given.
#pragma once

#include <string>

namespace pavona::test {

std::string DosPath(const std::string& hostPath);

} // namespace pavona::test
