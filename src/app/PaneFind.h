#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// Finds a text in a pane's lines on a worker thread, so that typing stays
// instant on a pane of a million lines; the hits are taken as they come.
// Case is ignored for ASCII letters. Used from one thread, the window's.
class PaneFind {
 public:
  PaneFind() = default;
  ~PaneFind() { Cancel(); }
  PaneFind(const PaneFind&) = delete;
  PaneFind& operator=(const PaneFind&) = delete;

  // The lines of a pane, shared by the searches of one content. The views
  // must stay valid until Cancel or the next Start.
  using Lines = std::shared_ptr<const std::vector<std::string_view>>;

  // Starts a search of lines for text, ending any search under way; an
  // empty text finds nothing.
  void Start(Lines lines, std::string text);
  // Ends the search under way and forgets its hits.
  void Cancel();
  // Starts a search of a pane's lines, taking their views once for all the
  // searches of one content: until Forget, while the count stays the same.
  void Restart(const std::vector<std::string_view>& lines, std::string text);
  // Cancels, and lets go of the views of a content that goes.
  void Forget();

  // Takes the hits the worker found since the last call; true when there
  // were any or the search has just ended.
  bool Poll();
  bool Done() const { return !searching_; }
  // The lines that hold the text, ascending, as far as taken.
  const std::vector<int>& Hits() const { return hits_; }
  // The row that shows a line, -1 when the view hides it; the view may be
  // sorted, so the hits are stepped through in the order of their rows.
  using RowOf = std::function<int(int)>;
  // The place, from 1, of a line among the hits shown; 0 when it is none.
  int PlaceOf(int line, const RowOf& rowOf) const;
  // The hit shown after (or before) the one at row, wrapping round; from no
  // row (-1) it is the first (or the last) one shown. A line; -1 when none.
  int StepShown(int row, bool forward, const RowOf& rowOf) const;
  // What the find bar counts of the hits shown: "2 of 5", "5 found" (with
  // "+" while the search goes on), "searching...", "not found", "3 hidden"
  // when the view hides them all, or nothing without a text.
  std::string CountText(int place, const RowOf& rowOf) const;

 private:
  void Search(Lines lines, std::string text);

  std::thread worker_;
  std::atomic<bool> cancel_{false};
  std::atomic<bool> finished_{true};
  std::mutex mutex_;
  std::vector<int> found_;  // handed over by the worker under mutex_
  std::vector<int> hits_;
  Lines lines_;  // the views Restart took
  bool searching_ = false;
  bool active_ = false;  // a text is searched for
};
