#include "gui/TAboutBox.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "app/AboutLayout.h"
#include "gui/Glyphs.h"
#include "surfaces/BuildInfo.h"
#include "surfaces/Texts.h"

namespace {

using AboutLayout::kCharacterHeight;
constexpr int kSmallestHeight = 6;

QRect RectOf(const ScreenRect& r) { return {r.left, r.top, r.width, r.height}; }

// A label of the black panel, in a font small enough for its text to fit in
// the room it has: the box keeps its size, so the text must come to it.
QLabel* WhiteLabel(QWidget* parent, const AboutLayout::PanelText& info) {
  const QString text = QString::fromUtf8(info.text);
  const QRect room = RectOf(info.room);
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(info.name));
  label->setStyleSheet(QStringLiteral("color: white; background: black;"));
  label->setWordWrap(info.wrap);
  QFont font = label->font();
  font.setBold(info.bold);
  for (int height = kCharacterHeight; height >= kSmallestHeight; --height) {
    font.setPixelSize(height);
    const QFontMetrics metrics(font);
    const QRect needed = info.wrap ? metrics.boundingRect(QRect(0, 0, room.width(), 10000), Qt::TextWordWrap, text)
                              : metrics.boundingRect(text);
    if (needed.width() <= room.width() && needed.height() <= room.height()) break;
  }
  label->setFont(font);
  label->move(room.topLeft());
  if (info.wrap) {
    label->setGeometry(room);
  } else {
    label->adjustSize();
  }
  return label;
}

}  // namespace

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
  // A fixed dialog frame: no resizing, and a close button but no minimise or
  // maximise button, with or without a window manager.
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(QString::fromUtf8(Texts::kAboutCaption));
  setFixedSize(AboutLayout::kWidth, AboutLayout::kHeight);
  setSizeGripEnabled(false);
  // The box is laid out for characters 11 pixels high, not the user's size.
  QFont boxFont = font();
  boxFont.setPixelSize(kCharacterHeight);
  setFont(boxFont);

  auto* panel = new QFrame(this);
  panel->setObjectName(QStringLiteral("Panel1"));
  panel->setGeometry(RectOf(AboutLayout::kPanel));
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setAutoFillBackground(true);
  QPalette black = panel->palette();
  black.setColor(QPalette::Window, Qt::black);
  panel->setPalette(black);

  auto* icon = new QLabel(panel);
  icon->setObjectName(QStringLiteral("ProgramIcon"));
  icon->setGeometry(RectOf(AboutLayout::kIcon));
  icon->setPixmap(Glyphs::ProgramPicture(AboutLayout::kIconSize));
  icon->setAlignment(Qt::AlignCenter);

  for (const AboutLayout::PanelText& info : AboutLayout::kTexts) WhiteLabel(panel, info);

  // The commit the program was built from, when the build knew it: the
  // panel's texts stay as they are.
  if (const std::string commit = BuildInfo::Commit(); !commit.empty()) {
    auto* build = new QLabel(QString::fromStdString(commit), this);
    build->setObjectName(QStringLiteral("BuildCommit"));
    build->setToolTip(QString::fromStdString(BuildInfo::VersionLine()));
    QFont small = build->font();
    small.setPixelSize(AboutLayout::kCommitHeight);
    build->setFont(small);
    build->setGeometry(RectOf(AboutLayout::kCommit));
  }

  auto* ok = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("BitBtn1"));
  ok->setGeometry(RectOf(AboutLayout::kOk));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
