// The texts of EVTX substitution values, as python-evtx renders them in a
// record's XML: numbers in decimal (floats as Python writes them), booleans
// True and False, binary data in base64, GUIDs in braces, sizes in decimal,
// hexadecimal integers with 0x and every digit, FILETIME and SYSTEMTIME as
// "YYYY-MM-DD HH:MM:SS[.ffffff]", SIDs as S-1-5-..., texts as UTF-8.
#ifndef EVTX_VALUES_H
#define EVTX_VALUES_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace evtx {

// Value types of the format.
enum ValueType : uint8_t {
  kNull = 0x00, kString = 0x01, kAnsiString = 0x02, kInt8 = 0x03, kUInt8 = 0x04, kInt16 = 0x05, kUInt16 = 0x06,
  kInt32 = 0x07, kUInt32 = 0x08, kInt64 = 0x09, kUInt64 = 0x0a, kReal32 = 0x0b, kReal64 = 0x0c, kBool = 0x0d,
  kBinary = 0x0e, kGuid = 0x0f, kSizeT = 0x10, kFileTime = 0x11, kSysTime = 0x12, kSid = 0x13, kHexInt32 = 0x14,
  kHexInt64 = 0x15, kBinXml = 0x21, kArray = 0x80,
};

// Appends the text of one value of scalar `type` held in `size` bytes;
// false when the bytes cannot be such a value (too short, a SID that runs
// past them, a type that has no text).
bool AppendValue(std::string& out, uint8_t type, const uint8_t* bytes, std::size_t size);

// The size of one element of an array of scalar `type` starting at `bytes`
// (texts end with their NUL), or 0 when none fits in `size`.
std::size_t ArrayElementSize(uint8_t type, const uint8_t* bytes, std::size_t size);

// UTF-16 little-endian text of `units` units appended as UTF-8; unpaired
// surrogates become U+FFFD.
void AppendUtf16(std::string& out, const uint8_t* bytes, std::size_t units);

// FILETIME as python-evtx writes it (UTC, microseconds when not zero).
void AppendFileTime(std::string& out, uint64_t ticks);

}  // namespace evtx

#endif
