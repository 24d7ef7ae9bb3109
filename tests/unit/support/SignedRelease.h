// A release signed by minisign 0.11 itself (minisign -S -t ...), so the checks
// are proven against the real tool's files, and a second key of its making.
#pragma once

#include <string>

namespace velmora::testing {

inline const std::string kReleaseExe = "velmora 1.1.3 exe bytes\n";
inline const std::string kReleaseComment = "velmora-release version=1.1.3 file=Velmora 1.1.3.exe";
inline const std::string kMakerKeyFile =
    "untrusted comment: minisign public key 88B5D752D2FABAE\n"
    "RWSuqy8tdV2LCCxpEhUcncMEOAPGMSPwV6UZ1ljBxUM+gcm0jKj8NLAi\n";
inline const std::string kMakerKey = "RWSuqy8tdV2LCCxpEhUcncMEOAPGMSPwV6UZ1ljBxUM+gcm0jKj8NLAi";
inline const std::string kOtherKey = "RWRUiX2H3gfdGVBrmF+lp6Gw+vHfLPMLkzu3uGPMyb+TaJ5w59Yl8wxh";
inline const std::string kMakerSignature =
    "untrusted comment: signature from minisign secret key\n"
    "RUSuqy8tdV2LCNIQhVT93IK/+NcTTPjAXQdBfqaRgPBUznpQWWqXUNyENl4XbdgdMpxqo+5KMuzTO78Gq42YovxiUwEkvUn8EQU=\n"
    "trusted comment: velmora-release version=1.1.3 file=Velmora 1.1.3.exe\n"
    "iFivzD2LaDClQL5DaETdIOdyI3Bsx6ap9VxX8oyh4ZD+pxtvByn+R859iCKekTgQER9eW/dA9VS5cxB+nv79AA==\n";
// The legacy form (minisign -l): the file itself signed, not its hash.
inline const std::string kMakerLegacySignature =
    "untrusted comment: signature from minisign secret key\n"
    "RWSuqy8tdV2LCPqlbNUS5yas7v0lAtiIn6qivXblvDeRdEtjFChg6ANUjM9CvlOttSQaArafHot2Og9ghzXK+wAS9plRdsiFqQ4=\n"
    "trusted comment: velmora-release version=1.1.3 file=Velmora 1.1.3.exe\n"
    "N5rvm05LwSSVOs4mN3Z9Zx8xWnwhbm3eG9Uhupq3cx90xLX3OhG1ZYarmN37XaI7UJSpK//kfJVnwNFdKxCKBg==\n";
inline const std::string kOtherKeySignature =
    "untrusted comment: signature from minisign secret key\n"
    "RURUiX2H3gfdGRRV7eDszv7xHA8Srr3agtnJ8Klx4MQ0CZv1r1gia9tbRos/yEhQ3TZXbrH4lrt3H+xDFWcjHwElz17phcDwXwg=\n"
    "trusted comment: velmora-release version=1.1.3 file=Velmora 1.1.3.exe\n"
    "+2xkdNJ+eimkJlmAv9eJOzPZwVOQ4NjQ0HAbK6yfnNxzmkXDseu9kDsKVCSdAuYaHRVvPONG8Qtb0p+lEYTMCQ==\n";

}  // namespace velmora::testing
