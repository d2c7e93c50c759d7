#include "platform/Vexmd5.h"

void md5_starts(md5_context* ctx) { MD5_Init(&ctx->state); }

void md5_update(md5_context* ctx, const unsigned char* input, std::uint32_t length) {
  MD5_Update(&ctx->state, input, length);
}

void md5_finish(md5_context* ctx, unsigned char digest[16]) { MD5_Final(digest, &ctx->state); }
