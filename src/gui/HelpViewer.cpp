#include "gui/HelpViewer.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "app/HelpPlace.h"
#include "surfaces/Texts.h"
#include "gui/Glyphs.h"

HelpViewer::~HelpViewer() { Quit(); }

QString HelpViewer::LocateHelpFile() {
  const QString dir = QCoreApplication::applicationDirPath();
  for (const QString& candidate : {dir + QStringLiteral("/quillon-help.html"),
                                   dir + QStringLiteral("/../share/quillon/quillon-help.html")}) {
    if (QFileInfo::exists(candidate)) return QFileInfo(candidate).canonicalFilePath();
  }
  return dir + QStringLiteral("/../share/quillon/quillon-help.html");
}

void HelpViewer::ShowContents(const QWidget* owner) {
  if (!frame_) {
    frame_ = new QWidget(nullptr, Qt::Window);
    frame_->setObjectName(QStringLiteral("HelpWindow"));
    frame_->setAttribute(Qt::WA_DeleteOnClose);
    frame_->setWindowTitle(QString::fromUtf8(Texts::kHelpTitle));
    frame_->setWindowIcon(Glyphs::ProgramIcon());
    auto* layout = new QVBoxLayout(frame_);
    browser_ = new QTextBrowser(frame_);
    browser_->setObjectName(QStringLiteral("HelpText"));
    browser_->setOpenExternalLinks(true);
    layout->addWidget(browser_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, frame_);
    buttons->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("HelpCloseButton"));
    QObject::connect(buttons, &QDialogButtonBox::rejected, frame_, &QWidget::close);
    layout->addWidget(buttons);
    // Without a window manager there is no title bar to close it with.
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
      auto* shortcut = new QShortcut(keys, frame_);
      QObject::connect(shortcut, &QShortcut::activated, frame_, &QWidget::close);
    }
    frame_->resize(640, 560);
    if (QFile file(helpFile_); file.open(QIODevice::ReadOnly)) {
      // The build made the help of its own system.
      browser_->document()->setBaseUrl(QUrl::fromLocalFile(helpFile_));
      browser_->setHtml(QString::fromUtf8(file.readAll()));
    } else {
      // The viewer itself tells of a missing help file; the program goes on.
      browser_->setHtml(QStringLiteral("<h2>Help is not available</h2><p>The help file <tt>%1</tt> cannot be "
                                       "found.</p>")
                            .arg(helpFile_.toHtmlEscaped()));
    }
    if (owner != nullptr) {
      const QScreen* screen = owner->screen();
      const QRect area = screen != nullptr ? screen->availableGeometry() : owner->frameGeometry();
      const QRect frame = owner->frameGeometry();
      const HelpPlace::Rect place = HelpPlace::Beside({frame.x(), frame.y(), frame.width(), frame.height()},
                                                      frame_->width(), frame_->height(),
                                                      {area.x(), area.y(), area.width(), area.height()});
      frame_->move(place.left, place.top);
    }
  }
  frame_->show();
  frame_->raise();
  frame_->activateWindow();
}

void HelpViewer::Quit() {
  if (frame_) frame_->close();
}

bool HelpViewer::IsOpen() const { return frame_ && frame_->isVisible(); }
