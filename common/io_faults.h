#pragma once
// A place where test builds make chosen file operations fail, so that every
// failure path of the programs can be run. The programs as shipped link the
// implementation that never fails anything.

#include <string>

enum class io_operation { open, create, read, write, seek, close, remove, make_directory, list };

// Asked before each file operation, with the path of the file (or folder) it
// works on; true means the operation is to fail.
bool io_fault_at(io_operation operation, const std::string& path);
