#include "gui/QuillonApplication.h"

#include <QMessageBox>
#include <cstdio>
#include <exception>

#include "surfaces/ErrorText.h"
#include "surfaces/Texts.h"

QuillonApplication::QuillonApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QString::fromUtf8(Texts::kApplicationTitle));
}

bool QuillonApplication::notify(QObject* receiver, QEvent* event) {
  QString message;
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    message = QString::fromUtf8(ErrorText::ForErrorBox(error.what()).c_str());
  } catch (...) {
    message = QStringLiteral("Unexpected failure.");
  }
  std::fprintf(stderr, "quillon: %s\n", message.toLocal8Bit().constData());
  QMessageBox::critical(activeWindow(), QString::fromUtf8(Texts::kApplicationTitle), message);
  return false;
}
