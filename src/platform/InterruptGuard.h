#pragma once

#include <string>

// What SIGINT, SIGTERM and SIGHUP (on Windows: Ctrl-C, Ctrl-Break and the
// closing of the console) must undo before the program ends: the one
// temporary file being written is removed, and a file being rewritten in
// place is finished first, and the program says in what state it leaves
// that file. The state behind this is the little that a signal handler may
// touch: fixed buffers and a few flags.
class InterruptGuard {
 public:
  // Catches the three signals; each then ends the program with 128 + its
  // number once the guarded work allows it. Each note begins with
  // notePrefix, such as the program's name.
  static void Install(const char* notePrefix = "");

  // The temporary file that a signal removes, until Disarm.
  static void ArmTemporary(const char* path);
  static void DisarmTemporary();

  // While one lives, a signal waits; it takes effect when the last one ends.
  class Deferral {
   public:
    Deferral();
    ~Deferral();
    Deferral(const Deferral&) = delete;
    Deferral& operator=(const Deferral&) = delete;
  };

  // While one lives, a signal that ends the program first writes its text
  // and a line end to standard error. Notes nest: when one ends, the note it
  // was made within is said again.
  class Note {
   public:
    explicit Note(const std::string& text);
    ~Note();
    Note(const Note&) = delete;
    Note& operator=(const Note&) = delete;
    void Change(const std::string& text);
    // Its text outlives it, in place of that of the note it was made within,
    // if any: for a state that outlasts the work, such as a file now whole.
    void Keep() { kept_ = true; }

   private:
    std::string before_;  // the text said before, as the handler writes it
    bool kept_ = false;
  };
};
