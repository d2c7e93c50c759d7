#pragma once

#include <string>

// Signing key files on Windows, under the rules of the POSIX build in terms
// of owners and DACLs. Whoever else owns a key file or the folder holding
// it, or may write either, could put a key of their own in its place; and
// whoever else may read a private key can sign with it. Only the user
// running the program, SYSTEM and the Administrators group (who can take
// any file anyway, as root can) are trusted. Failures raise QuillonError
// with a text that names the accounts and the icacls or takeown command that
// mends it.
namespace WindowsKeyFile {

// The text of a key file, refused as above. A link is refused too: whoever
// may write its folder could point it elsewhere.
std::string Read(const std::string& file, bool privateKey);

// Writes a new key pair: privateFile with a DACL of its own that lets only
// the current user in, publicFile as any new file there. An existing file of
// either name is never replaced, and a failure leaves neither behind.
void Create(const std::string& privateFile, const std::string& privateText, const std::string& publicFile,
            const std::string& publicText);

}  // namespace WindowsKeyFile
