// The type information of IReadInfo, loaded from the registered type library on first use and
// kept for the life of the module, with the member-name cache built from it.
#pragma once

#include <oaidl.h>

#include "module/created_once.h"
#include "module/member_name_cache.h"

namespace pellwick {

class TypeInfoCache {
 public:
  // The type information (owned by the cache, no reference added), loading it if needed with
  // the caller's locale; the loading error while the type library cannot be loaded.
  HRESULT Get(LCID lcid, ITypeInfo*& info);
  // Valid once Get has succeeded.
  const com::MemberNameCache& names() const { return names_; }

 private:
  ITypeInfo* Load(LCID lcid, HRESULT& result);
  void Release();

  com::CreatedOnce<ITypeInfo> info_;
  com::MemberNameCache names_;
};

TypeInfoCache& ReadInfoTypeInfo();

}  // namespace pellwick
