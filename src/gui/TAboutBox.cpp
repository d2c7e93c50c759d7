#include "gui/TAboutBox.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "gui/Glyphs.h"

namespace {

QLabel* WhiteLabel(QWidget* parent, const char* name, const QString& text, QPoint at, bool bold) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  QFont font = label->font();
  font.setBold(bold);
  label->setFont(font);
  label->setStyleSheet(QStringLiteral("color: white; background: black;"));
  label->move(at);
  label->adjustSize();
  return label;
}

}  // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(QStringLiteral("About..."));
  setFixedSize(242, 179);
  setWindowFlag(Qt::WindowMinMaxButtonsHint, false);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

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

  WhiteLabel(panel, "ProductName", QStringLiteral("Quillon"), QPoint(72, 16), true);
  WhiteLabel(panel, "Version", QStringLiteral("Version 1.20"), QPoint(104, 32), false);
  WhiteLabel(panel, "Notice", QStringLiteral("Lists folder trees and compares them."), QPoint(8, 56), false);
  auto* comments = WhiteLabel(panel, "Comments",
                              QStringLiteral("Tells you exactly which files were added, deleted or modified."),
                              QPoint(8, 80), false);
  comments->setWordWrap(true);
  comments->setGeometry(8, 80, 207, 26);

  auto* ok = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("BitBtn1"));
  ok->setGeometry(84, 144, 75, 25);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
