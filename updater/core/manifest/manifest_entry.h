// Which manifest entries may name a file below the update folder. The manifest comes from the
// network, so an entry must not reach outside the folder it is resolved in, name a device, or
// overwrite the manifest, the record, the log or a temporary file.
#pragma once

#include <string_view>

namespace updater {

// False for an entry that is empty; absolute (starts with '\' or '/'); contains ':' (a drive
// letter, an alternate data stream), a zero byte (where the platform's name would end) or any
// other control character (no Windows file name holds one, and a CR or LF would split the
// record's line, so such a file could never be found done again); has a component made only
// of dots and blanks (".", "..", ".. ", or an empty one as in "a\\b");
// has a DOS device name as a component (CON, NUL, AUX, PRN, COM1-COM9, LPT1-LPT9, with or
// without an extension); whose file name is update.ini or updateok.ini or ends in ".partial"
// (the temporary name a file is written under before it is renamed into place: no accepted
// entry can be another's temporary file); that is ostrel.log or ostrel.log.1 itself (the
// log beside the manifest); or that is the signed-version mark (trust/signed_mark.h), which the
// install would move over the program folder's own. Names compare without regard to ASCII letter
// case and with the trailing dots and blanks that Windows drops from a name dropped here too
// ("update.ini." is update.ini). Components are split at '\' and '/' that are characters of their
// own (a GBK trail byte 0x5C is not one; a lead byte before a byte that cannot be its trail byte
// stands alone).
bool IsSafeManifestEntry(std::string_view entry);

// True when a file name is update.ini or updateok.ini, compared the same way.
bool IsManifestFileName(std::string_view name);

}  // namespace updater
