#include "gui/TAboutBox.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "surfaces/Texts.h"
#include "gui/Glyphs.h"
#include "surfaces/BuildInfo.h"

namespace {

constexpr int kCharacterHeight = 11;  // pixels, whatever the user's font size
constexpr int kSmallestHeight = 6;

// A label of the black panel, in a font small enough for its text to fit in
// the room it has: the box keeps its size, so the text must come to it.
QLabel* WhiteLabel(QWidget* parent, const char* name, const QString& text, const QRect& room, bool bold,
                   bool wrap = false) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setStyleSheet(QStringLiteral("color: white; background: black;"));
  label->setWordWrap(wrap);
  QFont font = label->font();
  font.setBold(bold);
  for (int height = kCharacterHeight; height >= kSmallestHeight; --height) {
    font.setPixelSize(height);
    const QFontMetrics metrics(font);
    const QRect needed = wrap ? metrics.boundingRect(QRect(0, 0, room.width(), 10000), Qt::TextWordWrap, text)
                              : metrics.boundingRect(text);
    if (needed.width() <= room.width() && needed.height() <= room.height()) break;
  }
  label->setFont(font);
  label->move(room.topLeft());
  if (wrap) {
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
  setFixedSize(242, 179);
  setSizeGripEnabled(false);
  // The box is laid out for characters 11 pixels high, not the user's size.
  QFont boxFont = font();
  boxFont.setPixelSize(kCharacterHeight);
  setFont(boxFont);

  auto* panel = new QFrame(this);
  panel->setObjectName(QStringLiteral("Panel1"));
  panel->setGeometry(8, 8, 225, 121);
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setAutoFillBackground(true);
  QPalette black = panel->palette();
  black.setColor(QPalette::Window, Qt::black);
  panel->setPalette(black);

  auto* icon = new QLabel(panel);
  icon->setObjectName(QStringLiteral("ProgramIcon"));
  icon->setGeometry(16, 8, 41, 41);
  icon->setPixmap(Glyphs::ProgramPicture(37));
  icon->setAlignment(Qt::AlignCenter);

  // Each text has the room from its place to the panel's inner edge.
  const int right = panel->width() - 8;
  WhiteLabel(panel, "ProductName", QString::fromUtf8(Texts::kProductName), QRect(72, 16, right - 72, 16), true);
  WhiteLabel(panel, "Version", QString::fromUtf8(Texts::kVersionText), QRect(104, 32, right - 104, 16), false);
  WhiteLabel(panel, "Notice", QString::fromUtf8(Texts::kAboutNotice), QRect(8, 56, right - 8, 16),
             false);
  WhiteLabel(panel, "Comments", QString::fromUtf8(Texts::kAboutComments),
             QRect(8, 80, 207, 26), false, true);

  // The commit the program was built from, when the build knew it, in the
  // free corner beside the button: the panel's texts stay as they are.
  if (const std::string commit = BuildInfo::Commit(); !commit.empty()) {
    auto* build = new QLabel(QString::fromStdString(commit), this);
    build->setObjectName(QStringLiteral("BuildCommit"));
    build->setToolTip(QString::fromStdString(BuildInfo::VersionLine()));
    QFont small = build->font();
    small.setPixelSize(kSmallestHeight + 3);
    build->setFont(small);
    build->setGeometry(8, 148, 72, 16);
  }

  auto* ok = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("BitBtn1"));
  ok->setGeometry(84, 144, 75, 25);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
