#pragma once

#include <string>

namespace cv {

// Creates the directory (and missing ancestors) with an owner-and-system-only
// DACL; refuses the directory or any existing ancestor being a reparse point.
void createProtectedDirectory(const std::wstring& path);

// Makes path, when missing, as a directory only SYSTEM and Administrators may
// write into or change (owner Administrators; a protected DACL granting full
// access to those two alone, inherited by everything made inside). One that
// exists already is taken only when it is no reparse point and is owned by
// SYSTEM or Administrators: anyone else may have made it first to keep a way
// in. Throws Error(-9, "Reparse directory rejected" or "Directory ACL failed").
void createAdministratorsDirectory(const std::wstring& path);

}  // namespace cv
