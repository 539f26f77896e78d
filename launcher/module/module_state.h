// The state of the Pellwick module in its process: set up at process attach, torn down at
// process detach (DllMain).
#pragma once

#include <windows.h>

#include "module/created_once.h"
#include "module/lock_count.h"
#include "module/term_list.h"

namespace pellwick {

class ClassFactory;

struct ModuleState {
  HINSTANCE instance = nullptr;
  com::ModuleLock lock;
  com::TermList termList;
  // The class object of ReadInfo, made on the first request; the module holds one reference.
  com::CreatedOnce<ClassFactory> classObject;
};

ModuleState& Module();

}  // namespace pellwick
