#pragma once

#include <QApplication>

// The application object. Commands catch their own failures; anything that
// still slips out of an event handler is logged and shown here, never let
// across the event loop.
class QuillonApplication : public QApplication {
  Q_OBJECT

 public:
  QuillonApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};
