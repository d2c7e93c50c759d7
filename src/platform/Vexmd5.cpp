#include "platform/Vexmd5.h"

void md5_toHexStr(char* text, const unsigned char digest[16]) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (int i = 0; i < 16; ++i) {
    text[2 * i] = kHex[digest[i] >> 4];
    text[2 * i + 1] = kHex[digest[i] & 0x0F];
  }
  text[32] = '\0';
}
