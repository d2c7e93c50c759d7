#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <map>

#include "TestSupport.h"
#include "app/AboutLayout.h"
#include "app/ActionTable.h"
#include "app/DialogFileTypes.h"
#include "app/GlyphPicture.h"
#include "app/HelpPlace.h"
#include "app/HtmlText.h"
#include "app/LineEnds.h"
#include "app/PaneMenu.h"
#include "app/PaneRows.h"
#include "app/PaneText.h"
#include "app/RunFigures.h"
#include "app/ShortcutKey.h"
#include "app/UnreadableList.h"
#include "app/WindowLayout.h"
#include "app/WindowPlace.h"
#include "surfaces/TextForDisplay.h"

TEST(TextForDisplay, ReadsValidUtf8AsUtf8AndAnythingElseAsWindows1252) {
  EXPECT_EQ(TextForDisplay::Of("plain"), u"plain");
  EXPECT_EQ(TextForDisplay::Of("caf\xC3\xA9 \xE2\x82\xAC"), u"caf\u00E9 \u20AC");
  EXPECT_EQ(TextForDisplay::Of("\xF0\x9F\x98\x80"), u"\U0001F600");  // a surrogate pair
  // Not UTF-8: a lone continuation byte, an overlong form, an encoded
  // surrogate, a cut sequence; the whole line is then read as Windows-1252.
  EXPECT_EQ(TextForDisplay::Of("a\x80" "b\xE9"), u"a\u20ACb\u00E9");
  EXPECT_EQ(TextForDisplay::Of("\xC0\xAF"), u"\u00C0\u00AF");
  EXPECT_EQ(TextForDisplay::Of("\xED\xA0\x80"), u"\u00ED\u00A0\u20AC");
  EXPECT_EQ(TextForDisplay::Of("\xC3\xA9\xE2\x82"), u"\u00C3\u00A9\u00E2\u201A");
  EXPECT_EQ(TextForDisplay::Of("\x81\x9F"), u"\u0081\u0178");  // undefined bytes keep their code
}

TEST(RunFigures, ShowCountsSizesAndTheDigestRateOverAboutASecond) {
  RunFigures figures;
  const auto start = RunFigures::Clock::now();
  RunProgress progress{3, 2, 1.5e6, false, 0};
  EXPECT_EQ(figures.PanelTexts(progress, start),
            (std::array<std::string, 4>{"Files = 3", "Folders = 2", "Total = 1.5 MB", ""}));
  progress.digests = true;
  progress.bytesDigested = 1000000;
  EXPECT_EQ(figures.PanelTexts(progress, start)[2], "MD5 1.0 of 1.5 MB");
  progress.digestName = "SHA-256";
  EXPECT_EQ(figures.PanelTexts(progress, start)[2], "SHA-256 1.0 of 1.5 MB");
  EXPECT_EQ(RunFigures::RateTip(progress), "SHA-256 digests read per second");
  EXPECT_EQ(figures.PanelTexts(progress, start)[3], "");  // no rate before a second has passed
  progress.bytesDigested = 5000000;
  EXPECT_EQ(figures.PanelTexts(progress, start + std::chrono::seconds(2))[3], "2.0 MB/s");
  figures.Restart();
  EXPECT_EQ(figures.PanelTexts(progress, start + std::chrono::seconds(4))[3], "");
}

TEST(UnreadableList, NamesTheFirstTwentyAndCountsTheRest) {
  UnreadableList list;
  EXPECT_TRUE(list.TipLines().empty());
  for (int i = 0; i < 22; ++i) list.Add("/p" + std::to_string(i));
  const std::vector<std::string> lines = list.TipLines();
  ASSERT_EQ(lines.size(), 21u);
  EXPECT_EQ(lines.front(), "/p0");
  EXPECT_EQ(lines[19], "/p19");
  EXPECT_EQ(lines.back(), "... and 2 more");
  list.Clear();
  EXPECT_TRUE(list.TipLines().empty());
}

TEST(GlyphPicture, DrawsTheUsedGlyphsAtAnySizeAndLeavesTheOthersEmpty) {
  for (const ActionInfo& info : kActionTable) {
    if (info.glyph >= 0) {
      EXPECT_FALSE(GlyphPicture::Glyph(info.glyph).Empty()) << info.caption;
    }
  }
  EXPECT_TRUE(GlyphPicture::Glyph(3).Empty());
  const GlyphPicture::Picture stop = GlyphPicture::Glyph(13, 32);
  ASSERT_EQ(stop.pixels.size(), 32u * 32u);
  EXPECT_EQ(stop.pixels[0] >> 24, 0u);  // the corner is transparent
  const std::uint32_t red = stop.pixels[5 * 32 + 16];  // the red sign above its white bar
  EXPECT_EQ(red >> 24, 255u);
  EXPECT_GT(red >> 16 & 0xFF, 150u);
  EXPECT_LT(red >> 8 & 0xFF, 40u);
  EXPECT_FALSE(GlyphPicture::Program(48).Empty());
}

TEST(WindowLayout, PutsEveryActionInOneMenuAndTheToolbarOnlyOnActionsWithGlyphs) {
  std::map<ActionId, int> items;
  for (const WindowLayout::MenuInfo& menu : WindowLayout::kMenus) {
    for (const WindowLayout::MenuItem& item : menu.items) {
      if (item.kind == WindowLayout::ItemKind::Action) ++items[item.action];
    }
  }
  for (const ActionInfo& info : kActionTable) EXPECT_EQ(items[info.id], 1) << info.caption;
  for (const WindowLayout::MenuItem& item : WindowLayout::kToolItems) {
    if (item.kind == WindowLayout::ItemKind::Action) {
      EXPECT_GE(InfoOf(item.action).glyph, 0) << item.name;
    }
  }
}

TEST(PaneMenu, OffersOnlyWhatTheSelectionHasAndTellsWhatEachItemDoes) {
  const PaneMenu folders({"/r/sub/", "/r/sub/deeper/"}, "/r/sub/deeper/");
  ASSERT_EQ(folders.Items().size(), 3u);
  EXPECT_TRUE(folders.Items()[1].enabled && folders.Items()[2].enabled);
  EXPECT_EQ(folders.Choose(0).clipboard, "/r/sub/\n/r/sub/deeper/\n");
  EXPECT_EQ(folders.Choose(1).clipboard, "/r/sub/\n/r/sub/deeper/\n");
  EXPECT_EQ(folders.Choose(2).folder, "/r/sub/");
  EXPECT_TRUE(folders.Choose(2).clipboard.empty());
  // Lines that name nothing can be copied, but have no path and no folder.
  const PaneMenu counts({"Number of Files = 1"}, "Number of Files = 1");
  EXPECT_TRUE(counts.Items()[0].enabled);
  EXPECT_FALSE(counts.Items()[1].enabled || counts.Items()[2].enabled);
  EXPECT_TRUE(counts.Choose(1).clipboard.empty());
  EXPECT_FALSE(counts.Choose(2).folder.has_value());
  EXPECT_TRUE(counts.Choose(-1).clipboard.empty());  // the menu closed
}

TEST(DialogFileTypes, OffersTheResultsFormsAfterTheListingTypes) {
  const auto results = DialogFileTypes::Of(true);
  ASSERT_EQ(results.size(), DialogFileTypes::Of(false).size() + 2);
  EXPECT_EQ(DialogFileTypes::FormatOf(0), ResultsFormat::Text);
  EXPECT_EQ(DialogFileTypes::FormatOf(results.size() - 2), ResultsFormat::Csv);
  EXPECT_EQ(DialogFileTypes::FormatOf(results.size() - 1), ResultsFormat::JsonLines);
  EXPECT_EQ(DialogFileTypes::ExtensionFor(results.back().name), "jsonl");
  EXPECT_EQ(DialogFileTypes::ExtensionFor("no such type"), Texts::kDefaultExtension);
}

TEST(HelpPlace, GoesRightOfTheWindowWhereThereIsRoomElseLeftOfItElseOverIt) {
  const HelpPlace::Rect screen{0, 0, 1920, 1080};
  const auto at = [&](const HelpPlace::Rect& owner, const HelpPlace::Rect& area) {
    const HelpPlace::Rect place = HelpPlace::Beside(owner, 640, 560, area);
    return std::pair{place.left, place.top};
  };
  EXPECT_EQ(at({100, 50, 800, 600}, screen), std::pair(908, 50));
  EXPECT_EQ(at({1000, 50, 800, 600}, screen), std::pair(352, 50));
  EXPECT_EQ(at({0, 0, 800, 600}, {0, 0, 800, 600}), std::pair(80, 20));
  // Never off the screen: a window low on it takes the help up with it.
  EXPECT_EQ(at({100, 900, 800, 600}, screen), std::pair(908, 519));
}

TEST(ShortcutKey, ReadsEveryShortcutOfTheActionTableAndNoOtherName) {
  for (const ActionInfo& info : kActionTable) {
    if (*info.shortcut) {
      EXPECT_NE(ShortcutKey::Parse(info.shortcut).kind, ShortcutKey::Kind::None) << info.shortcut;
    }
  }
  const ShortcutKey saveAs = ShortcutKey::Parse("Ctrl+Shift+S");
  EXPECT_TRUE(saveAs.ctrl && saveAs.shift && !saveAs.alt);
  EXPECT_EQ(saveAs.kind, ShortcutKey::Kind::Character);
  EXPECT_EQ(saveAs.key, 'S');
  const ShortcutKey findPrevious = ShortcutKey::Parse("Shift+F3");
  EXPECT_EQ(findPrevious.kind, ShortcutKey::Kind::Function);
  EXPECT_EQ(findPrevious.key, 3);
  EXPECT_EQ(ShortcutKey::Parse("Esc").kind, ShortcutKey::Kind::Escape);
  for (const char* unknown : {"", "Fx", "F0", "F99999999999", "Home", "Ctrl+"})
    EXPECT_EQ(ShortcutKey::Parse(unknown).kind, ShortcutKey::Kind::None) << unknown;
}

TEST(LineEnds, AddsOneCrToEachLfAndTakesEveryCrAway) {
  EXPECT_EQ(LineEnds::WithCrLf("a\nb\r\n\nc"), "a\r\nb\r\n\r\nc");
  EXPECT_EQ(LineEnds::WithCrLf("\n"), "\r\n");
  EXPECT_EQ(LineEnds::WithoutCr("a\r\nb\rc\r\n"), "a\nbc\n");
}

TEST(PaneRows, TellsTheViewOfNewLinesInBatchesAndMapsFilteredRowsToLines) {
  PaneRows pane;
  for (const char* line : {"a", "b", "c", "d"}) pane.Lines().AddLine(line);
  EXPECT_EQ(pane.Rows(), 0);  // not told of yet
  EXPECT_TRUE(pane.Announce());
  EXPECT_FALSE(pane.Announce());
  EXPECT_EQ(pane.Rows(), 4);
  const std::vector<int> kept{1, 3};
  EXPECT_TRUE(pane.Show(&kept));
  pane.Lines().AddLine("e");
  EXPECT_FALSE(pane.Announce());  // a filtered pane waits for the filter
  EXPECT_EQ(pane.Rows(), 2);
  EXPECT_EQ(pane.LineOfRow(1), 3);
  EXPECT_EQ(pane.RowOfLine(2), -1);
  EXPECT_EQ(pane.LinesAt({1, 0, 7}), (std::vector<std::string_view>{"b", "d"}));
  EXPECT_TRUE(pane.Show(nullptr));
  EXPECT_FALSE(pane.Show(nullptr));
  EXPECT_EQ(pane.Rows(), 5);
  pane.Clear();
  EXPECT_EQ(pane.Rows(), 0);
  // A file that cannot be read leaves what was read told of.
  EXPECT_ANY_THROW(pane.Load("/nonexistent/listing.qln"));
  EXPECT_EQ(pane.Announced(), pane.Lines().Count());
}

TEST(HtmlText, ShowsTheHelpAsPlainTextWithHeadingsParagraphsBulletsAndPreformattedLines) {
  EXPECT_EQ(HtmlText::ToPlain("<html><head><title>x</title></head><body><h2 id=\"a\">Caf&eacute; &amp; more</h2>"
                              "<p>one\n  two</p><ul><li>a &lt;b&gt;</li></ul><pre>x  y\nz</pre></body></html>"),
            "Caf&eacute; & more\r\n------------------\r\n\r\none two\r\n\r\n  \xE2\x80\xA2 a <b>\r\n\r\nx  y\r\nz\r\n\r\n");
}

TEST(PaneText, CutsAnOldLineIntoItsChangedFieldsAndTheTextBetween) {
  // A field inside one already marked is not drawn twice.
  const std::vector<MarkedField> changed{{2, 3, "size"}, {3, 1, "digest"}, {8, 2, "path"}};
  std::string drawn;
  for (const PaneText::LinePiece& piece : PaneText::Pieces("abcdefghij", changed))
    drawn += piece.changed ? "[" + std::string(piece.text) + "]" : std::string(piece.text);
  EXPECT_EQ(drawn, "ab[cde]fgh[ij]");
}

TEST(AboutLayout, EveryTextHasItsRoomInsideThePanelAndTheCommitBesideTheButton) {
  namespace A = AboutLayout;
  const auto inside = [](const ScreenRect& r, int width, int height) {
    return r.left >= 0 && r.top >= 0 && r.left + r.width <= width && r.top + r.height <= height;
  };
  EXPECT_TRUE(inside(A::kPanel, A::kWidth, A::kHeight));
  EXPECT_TRUE(inside(A::kIcon, A::kPanel.width, A::kPanel.height));
  for (const A::PanelText& text : A::kTexts) {
    EXPECT_TRUE(inside(text.room, A::kPanel.width - 8, A::kPanel.height)) << text.name;
    EXPECT_GT(std::string_view(text.text).size(), 0u) << text.name;
  }
  EXPECT_TRUE(A::kTexts[0].bold);
  EXPECT_TRUE(A::kTexts[3].wrap);
  // The commit and the button share the strip below the panel without meeting.
  EXPECT_TRUE(inside(A::kCommit, A::kWidth, A::kHeight));
  EXPECT_TRUE(inside(A::kOk, A::kWidth, A::kHeight));
  EXPECT_GE(A::kCommit.top, A::kPanel.top + A::kPanel.height);
  EXPECT_LE(A::kCommit.left + A::kCommit.width, A::kOk.left);
}

TEST(WindowPlace, CentresTheFirstFrameOnTheWorkAreaAndNeverBeyondIt) {
  const ScreenRect work{100, 20, 1000, 700};
  const ScreenRect fits = WindowPlace::Centred(work, 800, 600);
  EXPECT_EQ(fits.left, 200);
  EXPECT_EQ(fits.top, 70);
  EXPECT_EQ(fits.width, 800);
  EXPECT_EQ(fits.height, 600);
  const ScreenRect large = WindowPlace::Centred(work, 1200, 900);
  EXPECT_EQ(large.left, 100);
  EXPECT_EQ(large.top, 20);
  EXPECT_EQ(large.width, 1000);
  EXPECT_EQ(large.height, 700);
}

TEST(WindowPlace, KeepsTheSizeAt96PixelsPerInchAndReadsAnOldPixelSizeAsItIs) {
  struct Store : SettingsStore {
    std::string ReadText(std::string_view key) const override {
      const auto at = values.find(std::string(key));
      return at == values.end() ? std::string() : at->second;
    }
    void WriteText(std::string_view key, std::string_view value) const override { values[std::string(key)] = value; }
    mutable std::map<std::string, std::string> values;
  } store;
  store.values = {{"Window/Left", "10"}, {"Window/Top", "20"}, {"Window/Width", "1634"}, {"Window/Height", "1232"}};
  const auto old = WindowPlace::Read(store, 96);
  ASSERT_TRUE(old);
  EXPECT_EQ(old->frame.width, 1634);
  // Kept from a screen at 192 pixels per inch, it is half as wide at 96 and
  // as wide again at 192; the place stays in the screen's pixels.
  WindowPlace{{-1900, 30, 1634, 1233}, true}.Write(store, 192);
  const auto low = WindowPlace::Read(store, 96), high = WindowPlace::Read(store, 192);
  ASSERT_TRUE(low && high);
  EXPECT_EQ(std::vector<int>({low->frame.left, low->frame.top, low->frame.width, low->frame.height}),
            std::vector<int>({-1900, 30, 817, 617}));
  EXPECT_EQ(high->frame.width, 1634);
  EXPECT_TRUE(high->maximized);
  EXPECT_EQ(WindowPlace::Read(store, 144)->frame.width, 1226);
}

#ifndef _WIN32
// The Linux window's help names only items its menus have, with their keys
// (the Win32 window's help is checked from its resource).
TEST(Help, NamesOnlyMenuItemsTheWindowHas) {
  std::ifstream in(QUILLON_HELP_PATH, std::ios::binary);
  const std::string html((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const HelpNames names = MenuItemsNamedByHelp(html);
  EXPECT_GT(names.named, 25);
  EXPECT_EQ(names.missing, std::vector<std::string>{});
  EXPECT_EQ(html.find("<!--"), std::string::npos);  // no marker of either system is left
}
#endif
