#include "gui/HelpViewer.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>

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

void HelpViewer::ShowContents() {
  if (!browser_) {
    browser_ = new QTextBrowser();
    browser_->setObjectName(QStringLiteral("HelpWindow"));
    browser_->setAttribute(Qt::WA_DeleteOnClose);
    browser_->setWindowTitle(QStringLiteral("Quillon Help"));
    browser_->setWindowIcon(Glyphs::ProgramIcon());
    browser_->setOpenExternalLinks(true);
    browser_->resize(640, 560);
    if (QFileInfo::exists(helpFile_)) {
      browser_->setSource(QUrl::fromLocalFile(helpFile_));
    } else {
      // The viewer itself tells of a missing help file; the program goes on.
      browser_->setHtml(QStringLiteral("<h2>Help is not available</h2><p>The help file <tt>%1</tt> cannot be "
                                       "found.</p>")
                            .arg(helpFile_.toHtmlEscaped()));
    }
  }
  browser_->show();
  browser_->raise();
  browser_->activateWindow();
}

void HelpViewer::Quit() {
  if (browser_) browser_->close();
}

bool HelpViewer::IsOpen() const { return browser_ && browser_->isVisible(); }
