#include "gui/QtMainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <utility>

#include "app/ActionTable.h"
#include "app/Hint.h"
#include "app/PaneMenu.h"
#include "app/PaneText.h"
#include "app/WindowLayout.h"
#include "app/WindowPlace.h"
#include "gui/DialogProvider.h"
#include "gui/DisplayText.h"
#include "gui/Glyphs.h"
#include "platform/RegionalSettings.h"

namespace {

QString FromView(std::string_view text) { return DisplayText::Of(text); }

using WindowLayout::kMd5Hint;
using Flag = RememberedChoices::Flag;
// The window's place and its splitters, kept from one session to the next.
QSettings UserSettings() { return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Quillon", "Quillon"); }
constexpr const char* kGeometryKey = "Window/Geometry";
constexpr const char* kSplitter1Key = "Window/Splitter1";
constexpr const char* kSplitter2Key = "Window/Splitter2";
constexpr int kFindPollMs = 50;  // hits are taken from the search this often
// Fonts that draw the control pictures of odd names, the first preferred.
const QStringList kPaneFamilies = {QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Symbola")};

// A status panel 0 to 3: as wide as laid out, or as its text, where there
// is room; narrower in a narrow window, which cuts its text off.
class StatusPanel : public QLabel {
 public:
  StatusPanel(int width, QWidget* parent) : QLabel(parent), width_(width) {}
  void SetWidth(int width) {
    if (width == width_) return;
    width_ = width;
    updateGeometry();
  }
  QSize sizeHint() const override { return {width_, QLabel::sizeHint().height()}; }
  QSize minimumSizeHint() const override { return {std::min(width_, 24), QLabel::minimumSizeHint().height()}; }

 private:
  int width_;
};

}  // namespace

QtMainWindow::QtMainWindow(DialogProvider& dialogs, FolderSearch& search, const QString& helpFile, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), help_(helpFile) {
  setObjectName(QStringLiteral("MainWindow"));
  setWindowIcon(Glyphs::ProgramIcon());
  BuildActions();
  BuildMenu();
  BuildToolBar();
  BuildCentralArea();
  BuildStatusBar();
  BuildFindBar();

  resize(WindowLayout::kClientWidth, WindowLayout::kClientHeight + menuBar()->sizeHint().height());
  FitToScreen();
  RestoreSettings();
  setTabOrder(md5_, edit_);
  setTabOrder(edit_, views_[0]);
  setTabOrder(views_[0], views_[1]);
  setTabOrder(views_[1], views_[2]);

  dialogs_.SetOwner(this);
  controller_ = std::make_unique<WindowController>(*this, *this, dialogs_, store_, search,
                                                   RegionalSettings::FromUserLocale());
  md5_->setChecked(controller_->Choices().Get(Flag::Md5));
  for (int i = 0; i < 3; ++i) models_[static_cast<std::size_t>(i)]->Attach(controller_->Rows(static_cast<PaneId>(i)));
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    for (int i = 0; i < 3; ++i)
      if (now == views_[static_cast<std::size_t>(i)]) controller_->PaneFocused(static_cast<PaneId>(i));
    UpdateEditActions();
  });
  connect(edit_, &QLineEdit::selectionChanged, this, [this] { UpdateEditActions(); });
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] { UpdateEditActions(); });
}

QtMainWindow::~QtMainWindow() {
  // Hiding a window that has the focus announces a focus change; by then this
  // object is half destroyed and must not hear it.
  disconnect(qApp, nullptr, this, nullptr);
  disconnect(QGuiApplication::clipboard(), nullptr, this, nullptr);
  if (controller_) controller_->Destroy();
}

void QtMainWindow::BuildActions() {
  for (const ActionInfo& info : kActionTable) {
    auto* action = new QAction(QString::fromUtf8(info.caption), this);
    action->setObjectName(QString::fromLatin1(NameOf(info.id).data(), static_cast<qsizetype>(NameOf(info.id).size())));
    action->setProperty("category", QString::fromLatin1(info.category));
    if (*info.shortcut) action->setShortcut(QKeySequence(QString::fromLatin1(info.shortcut)));
    if (info.glyph >= 0) action->setIcon(Glyphs::Glyph(info.glyph));
    action->setEnabled(info.enabledAtStart);
    action->setVisible(info.visible);
    action->setCheckable(info.checkable);
    action->setToolTip(FromView(Hint::ShortPart(info.hint)));
    action->setStatusTip(FromView(Hint::LongPart(info.hint)));
    connect(action, &QAction::triggered, this, [this, id = info.id] { controller_->Execute(id); });
    actions_[static_cast<int>(info.id)] = action;
    addAction(action);
  }
}

void QtMainWindow::SetActionChecked(ActionId action, bool checked) { Action(action)->setChecked(checked); }

void QtMainWindow::BuildMenu() {
  menuBar()->setObjectName(QStringLiteral("MainMenu1"));
  const auto menu = [this](const char* name, const char* title, const char* hint) {
    QMenu* m = menuBar()->addMenu(QString::fromUtf8(title));
    m->setObjectName(QString::fromLatin1(name));
    m->menuAction()->setStatusTip(QString::fromUtf8(hint));
    return m;
  };
  for (const WindowLayout::MenuInfo& info : WindowLayout::kMenus) {
    QMenu* m = menu(info.name, info.title, info.hint);
    if (std::string_view(info.name) == "File1") connect(m, &QMenu::aboutToShow, this, [this, m] { ShowRecent(m); });
    for (const WindowLayout::MenuItem& item : info.items) {
      if (item.kind == WindowLayout::ItemKind::Separator) {
        m->addSeparator()->setObjectName(QString::fromLatin1(item.name));
      } else {
        m->addAction(Action(item.action));
      }
    }
  }
}

void QtMainWindow::ShowRecent(QMenu* menu) {
  // The recent listings before Exit, as they are when the menu opens.
  for (QAction* old : std::exchange(recent_, {})) {
    menu->removeAction(old);
    old->deleteLater();
  }
  QAction* exit = Action(ActionId::FileExitAction);
  const std::vector<std::string> items = controller_->RecentItems();
  for (std::size_t i = 0; i < items.size(); ++i) {
    recent_.push_back(new QAction(FromView(items[i]), menu));
    connect(recent_.back(), &QAction::triggered, this, [this, i] { controller_->OpenRecent(i); });
    menu->insertAction(exit, recent_.back());
  }
  if (!items.empty()) recent_.push_back(menu->insertSeparator(exit));
}

void QtMainWindow::BuildToolBar() {
  QToolBar* bar = addToolBar(QStringLiteral("ToolBar1"));
  bar->setObjectName(QStringLiteral("ToolBar1"));
  bar->setMovable(false);
  bar->setFloatable(false);
  bar->setFixedHeight(WindowLayout::kToolBarHeight);
  bar->setIconSize(QSize(16, 16));
  bar->setContentsMargins(5, 0, 0, 0);
  const auto button = [bar, this](ActionId id, const char* name) {
    bar->addAction(Action(id));
    if (QWidget* widget = bar->widgetForAction(Action(id))) widget->setObjectName(QString::fromLatin1(name));
  };
  const auto separator = [bar](const char* name) {
    QAction* action = bar->addSeparator();
    action->setObjectName(QString::fromLatin1(name));
    if (QWidget* widget = bar->widgetForAction(action)) widget->setObjectName(QString::fromLatin1(name));
  };
  for (const WindowLayout::MenuItem& item : WindowLayout::kToolItems) {
    if (item.kind == WindowLayout::ItemKind::Separator) {
      separator(item.name);
    } else {
      button(item.action, item.name);
    }
  }
  stopButton_ = bar->widgetForAction(Action(ActionId::EditStopAction));

  md5_ = new QCheckBox(QString::fromUtf8(WindowLayout::kMd5Caption), bar);
  md5_->setObjectName(QStringLiteral("MD5CheckBox"));
  md5_->setFixedSize(WindowLayout::kMd5Width, WindowLayout::kToolControlHeight);
  md5_->setToolTip(QString::fromUtf8(kMd5Hint));
  md5_->setStatusTip(QString::fromUtf8(kMd5Hint));
  bar->addWidget(md5_);

  edit_ = new QLineEdit(bar);
  edit_->setObjectName(QStringLiteral("NonViewEdit"));
  // As wide as laid out, narrower in a narrow window.
  edit_->setFixedHeight(WindowLayout::kToolControlHeight);
  edit_->setMinimumWidth(120);
  edit_->setMaximumWidth(WindowLayout::kEditWidth);
  edit_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  edit_->setReadOnly(true);
  edit_->setToolTip(QString::fromUtf8(WindowLayout::kEditHint));
  edit_->setStatusTip(QString::fromUtf8(WindowLayout::kEditHint));
  bar->addWidget(edit_);
}

QListView* QtMainWindow::MakePane(PaneId pane, const char* name) {
  auto* model = new PaneModel(this);
  auto* view = new QListView;
  view->setObjectName(QString::fromLatin1(name));
  view->setModel(model);
  view->setUniformItemSizes(true);
  // Shift and Ctrl clicks select many lines, to copy them at once.
  view->setSelectionMode(QAbstractItemView::ExtendedSelection);
  view->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(view, &QWidget::customContextMenuRequested, this,
          [this, pane](const QPoint& at) { ShowPaneMenu(pane, at); });
  view->setTextElideMode(Qt::ElideNone);
  view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setFamilies(kPaneFamilies + QStringList{font.family()});
  font.setPointSize(WindowLayout::kPaneFontPoints);
  font.setBold(true);
  view->setFont(font);
  model->SetLineHeight(std::max(WindowLayout::kPaneLineHeight, QFontMetrics(font).height()));
  // A palette, not a style sheet: style sheets make every row's paint slow.
  QPalette colours = view->palette();
  colours.setColor(QPalette::Base, Qt::black);
  colours.setColor(QPalette::Text, Qt::white);
  view->setPalette(colours);
  view->installEventFilter(this);
  views_[static_cast<int>(pane)] = view;
  models_[static_cast<int>(pane)] = model;

  connect(view, &QListView::clicked, this, [this, pane] { controller_->PaneClicked(pane); });
  connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this, view, pane] {
    // Keyboard selection; a mouse click is reported by clicked.
    if (view->hasFocus() && !(QApplication::mouseButtons() & Qt::LeftButton)) controller_->PaneClicked(pane);
  });
  return view;
}

void QtMainWindow::BuildCentralArea() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  auto* panel = new QFrame(central);
  panel->setObjectName(QStringLiteral("Panel1"));
  panel->setFixedHeight(WindowLayout::kPanelHeight);
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  QFont labelFont = font();
  labelFont.setBold(true);
  for (std::size_t i = 0; i < labels_.size(); ++i) {
    const WindowLayout::LabelInfo& info = WindowLayout::kLabels[i];
    labels_[i] = new QLabel(QString::fromUtf8(info.text), panel);
    labels_[i]->setObjectName(QString::fromLatin1(info.name));
    labels_[i]->setFont(labelFont);
    labels_[i]->move(info.left, WindowLayout::kLabelTop);
    labels_[i]->adjustSize();
  }
  layout->addWidget(panel);

  auto* splitter2 = splitter2_ = new QSplitter(Qt::Vertical, central);
  splitter2->setObjectName(QStringLiteral("Splitter2"));
  auto* splitter1 = splitter1_ = new QSplitter(Qt::Horizontal, splitter2);
  splitter1->setObjectName(QStringLiteral("Splitter1"));
  for (QSplitter* splitter : {splitter1, splitter2}) {
    splitter->setHandleWidth(WindowLayout::kSplitterSize);
    splitter->setChildrenCollapsible(false);
    splitter->setOpaqueResize(true);
  }
  splitter1->addWidget(MakePane(PaneId::ListBox1, "ListBox1"));
  splitter1->addWidget(MakePane(PaneId::ListBox2, "ListBox2"));
  // Without stretch factors the panes keep their proportions as the window grows.
  splitter1->setSizes({WindowLayout::kListBox1Width, 404});
  splitter2->addWidget(splitter1);
  auto* results = new QWidget(splitter2);
  auto* resultsLayout = new QVBoxLayout(results);
  resultsLayout->setContentsMargins(0, 0, 0, 0);
  resultsLayout->setSpacing(0);
  resultsLayout->addWidget(BuildResultsBar());
  resultsLayout->addWidget(MakePane(PaneId::ListBox3, "ListBox3"), 1);
  splitter2->addWidget(results);
  splitter2->setSizes({391, WindowLayout::kListBox3Height});
  for (QListView* view : views_) view->setMinimumSize(1, 1);
  layout->addWidget(splitter2, 1);
  setCentralWidget(central);
}

void QtMainWindow::BuildStatusBar() {
  statusBar_ = new QWidget(centralWidget());
  statusBar_->setObjectName(QStringLiteral("StatusBar"));
  statusBar_->setFixedHeight(WindowLayout::kStatusBarHeight);
  auto* layout = new QHBoxLayout(statusBar_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  for (int i = 0; i < 5; ++i) {
    // Panel 4 takes what room is left, down to none in a narrow window.
    QLabel* label = i < 4 ? new StatusPanel(WindowLayout::kPanelWidths[static_cast<std::size_t>(i)], statusBar_) : new QLabel(statusBar_);
    label->setObjectName(QStringLiteral("Panel%1").arg(i));
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAlignment(i < 4 ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignVCenter));
    if (i == 4) label->setMinimumWidth(0);
    layout->addWidget(label, i < 4 ? 0 : 1);
    if (i == 4) label->installEventFilter(this);
    panels_[static_cast<std::size_t>(i)] = label;
  }
  static_cast<QVBoxLayout*>(centralWidget()->layout())->addWidget(statusBar_);
}

void QtMainWindow::AnnouncePanes() {
  for (int i = 0; i < 3; ++i) {
    // During work a pane follows its end until the user scrolls away from it.
    const QScrollBar* bar = views_[i]->verticalScrollBar();
    const bool follow = Working() && bar->value() >= bar->maximum() && !bar->isSliderDown();
    if (models_[i]->Announce() && follow) views_[i]->scrollToBottom();
  }
}

// ---- Work that may be stopped ----

void QtMainWindow::WorkChanged(bool working) {
  // Input is answered during the work; what it may not do is dropped by the filter.
  if (working) {
    qApp->installEventFilter(this);
  } else {
    qApp->removeEventFilter(this);
  }
}

void QtMainWindow::ProcessInput() { QCoreApplication::processEvents(); }

void QtMainWindow::CloseLater() { QTimer::singleShot(0, this, &QWidget::close); }

WorkSession::Input QtMainWindow::SortInput(QObject* watched, QEvent* event) const {
  using Kind = WorkSession::Event::Kind;
  using Target = WorkSession::Event::Target;
  WorkSession::Event input;
  const QEvent::Type type = event->type();
  if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
    input.kind = type == QEvent::KeyPress ? Kind::KeyDown : Kind::KeyUp;
    input.escape = type == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape;
  } else if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
             type == QEvent::MouseButtonDblClick) {
    // A click reaches the window first and is handed on to the control
    // under the pointer; only there is it known whether it may act.
    input.kind = Kind::MouseButton;
    if (watched == stopButton_) input.target = Target::StopButton;
    if (qobject_cast<const QWindow*>(watched) != nullptr || qobject_cast<QScrollBar*>(watched) ||
        qobject_cast<QSplitterHandle*>(watched) || qobject_cast<QMenuBar*>(watched) || qobject_cast<QMenu*>(watched))
      input.target = Target::Frame;
  } else if (type == QEvent::Shortcut) {
    input.kind = Kind::Command;
    if (watched == Action(ActionId::EditStopAction)) input.target = Target::StopButton;
  } else if (type == QEvent::ContextMenu || type == QEvent::DragEnter || type == QEvent::DragMove ||
             type == QEvent::Drop || type == QEvent::TouchBegin || type == QEvent::TouchUpdate ||
             type == QEvent::TouchEnd || type == QEvent::TabletPress || type == QEvent::TabletRelease ||
             type == QEvent::InputMethod) {
    input.kind = Kind::Command;
  }
  // An open menu is a window of its own, steered by the keys and the mouse;
  // its commands are dropped by the controller.
  const auto* widget = qobject_cast<const QWidget*>(watched);
  const auto* handle = qobject_cast<const QWindow*>(watched);
  if ((widget != nullptr && widget->window() != this) || (handle != nullptr && handle != windowHandle()) ||
      (input.kind != Kind::Command && QApplication::activePopupWidget() != nullptr))
    input.target = Target::OtherWindow;
  return WorkSession::Sort(input);
}

QLineEdit* QtMainWindow::FocusedLine() const {
  using Focus = WindowController::Focus;
  const QWidget* focus = QApplication::focusWidget();
  Focus part = Focus::Other;
  if (std::find(views_.begin(), views_.end(), focus) != views_.end()) part = Focus::Pane;
  for (const auto& [line, is] : {std::pair{edit_, Focus::EditLine}, {findEdit_, Focus::FindLine}, {resultText_, Focus::ResultText}})
    if (focus == line) part = is;
  switch (WindowController::LineForEdits(part)) {
    case Focus::EditLine: return edit_;
    case Focus::FindLine: return findEdit_;
    case Focus::ResultText: return resultText_;
    default: return nullptr;
  }
}

void QtMainWindow::UpdateEditActions() {
  QLineEdit* line = FocusedLine();
  controller_->UpdateEditActions(line != nullptr, line != nullptr && line->hasSelectedText(),
                                 !QGuiApplication::clipboard()->text().isEmpty());
}

void QtMainWindow::EditLine(ActionId action) {
  QLineEdit* line = FocusedLine();
  if (line == nullptr) return;
  if (action == ActionId::EditCutAction) line->cut();
  if (action == ActionId::EditCopyAction) line->copy();
  if (action == ActionId::EditPasteAction) line->paste();
}

void QtMainWindow::SetPanelTip(int panel, const std::string& tip) {
  panels_[static_cast<std::size_t>(panel)]->setToolTip(FromView(tip));
}

bool QtMainWindow::PanelFits(int panel, std::string_view text) {
  const QLabel* label = panels_[static_cast<std::size_t>(panel)];
  return label->fontMetrics().horizontalAdvance(FromView(text)) <= label->contentsRect().width();
}

int QtMainWindow::PanelTextWidth(int panel, std::string_view text) {
  return panels_[static_cast<std::size_t>(panel)]->fontMetrics().horizontalAdvance(FromView(text));
}

void QtMainWindow::SetPanelWidth(int panel, int width) {
  static_cast<StatusPanel*>(panels_[static_cast<std::size_t>(panel)])->SetWidth(width);
}

bool QtMainWindow::event(QEvent* event) {
  // Hints go to panel 4, not to a status bar message.
  if (event->type() == QEvent::StatusTip) {
    if (controller_) controller_->ShowHint(static_cast<QStatusTipEvent*>(event)->tip().toStdString());
    return true;
  }
  return QMainWindow::event(event);
}

bool QtMainWindow::eventFilter(QObject* watched, QEvent* event) {
  // The controls are made before the controller; until it is there, nothing is filtered.
  if (!controller_) return QMainWindow::eventFilter(watched, event);
  if (watched == panels_[4] && event->type() == QEvent::Resize) controller_->HintRoomChanged();
  if (Working() && controller_->DropsDuringWork(SortInput(watched, event))) return true;
  if (watched == findEdit_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Escape) {
      controller_->FindBarKey(key->key() == Qt::Key_Escape, key->modifiers() & Qt::ShiftModifier);
      return true;
    }
  }
  for (QListView* view : views_) {
    if (watched != view) continue;
    // A pane has no hint of its own: pointing at it empties panel 4.
    if (event->type() == QEvent::Enter) controller_->ShowHint("");
    // The list view would copy its current line on its own; only the Copy
    // command copies, and only from the read-only line.
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy))
      return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void QtMainWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LocaleChange && controller_)
    controller_->Logic().SetRegionalSettings(RegionalSettings::FromUserLocale());
  QMainWindow::changeEvent(event);
}

void QtMainWindow::closeEvent(QCloseEvent* event) {
  // A command that is running stops or finishes first; the window closes after it.
  if (!controller_->CloseAsked()) {
    event->ignore();
    return;
  }
  SaveSettings();
  event->accept();
}

// ---- Surfaces ----

void QtMainWindow::PaneReset(PaneId pane) { Model(pane)->Reset(); }
void QtMainWindow::PaneRepaint(PaneId pane) { PaneView(pane)->viewport()->update(); }

std::vector<int> QtMainWindow::SelectedRows(PaneId pane) const {
  std::vector<int> rows;
  for (const QModelIndex& index : PaneView(pane)->selectionModel()->selectedRows()) rows.push_back(index.row());
  return rows;
}

int QtMainWindow::CurrentRow(PaneId pane) const { return PaneView(pane)->selectionModel()->currentIndex().row(); }

void QtMainWindow::PaneSetScrollExtent(PaneId pane, int) { Model(pane)->ExtentChanged(); }

int QtMainWindow::PaneFontSize(PaneId pane) { return PaneView(pane)->font().pointSize(); }

int QtMainWindow::PanePixelsPerInch(PaneId pane) { return PaneView(pane)->logicalDpiY(); }

void QtMainWindow::PaneShowFromTop(PaneId pane) {
  PaneView(pane)->scrollToTop();
  PaneView(pane)->horizontalScrollBar()->setValue(0);
}

void QtMainWindow::StatusSetPanelText(int panel, std::string_view text) {
  QLabel* label = panels_[static_cast<std::size_t>(panel)];
  label->setText(FromView(text));
}

void QtMainWindow::StatusRefresh() { statusBar_->repaint(); }

void QtMainWindow::SetCaption(std::string_view text) { setWindowTitle(FromView(text)); }

void QtMainWindow::SetLabelText(LabelId label, std::string_view text) {
  QLabel* target = labels_[static_cast<std::size_t>(label)];
  target->setText(FromView(text));
  target->adjustSize();
}

void QtMainWindow::EditSetText(std::string_view text) { edit_->setText(FromView(text)); }

// A clicked pane keeps the focus, so that its arrow keys and its menu key go
// on working there; the edit commands then act on the line it shows.
void QtMainWindow::EditFocus() {
  if (FocusedLine() != edit_) edit_->setFocus(Qt::OtherFocusReason);
}

void QtMainWindow::EditSelectAll() { edit_->selectAll(); }

bool QtMainWindow::Md5Ticked() { return md5_->isChecked(); }

void QtMainWindow::SetActionEnabled(ActionId action, bool enabled) { Action(action)->setEnabled(enabled); }

void QtMainWindow::SetBusyCursor() {
  // A state, not a stack: busy twice and normal once leaves the normal pointer.
  if (busy_) return;
  busy_ = true;
  QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtMainWindow::SetNormalCursor() {
  busy_ = false;
  while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
}

void QtMainWindow::ShowHelpContents() { help_.ShowContents(this); }

void QtMainWindow::QuitHelp() { help_.Quit(); }

void QtMainWindow::CloseWindow() { close(); }

// ---- Views beside the commands ----

void QtMainWindow::FitToScreen() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  // The first size as laid out with the frame and title bar the window
  // manager adds, as guessed, centred on the screen and never beyond it.
  const QRect room = screen->availableGeometry();
  const ScreenRect frame =
      WindowPlace::Centred({room.x(), room.y(), room.width(), room.height()}, width() + 16, height() + 48);
  resize(QSize(frame.width - 16, frame.height - 48).expandedTo(minimumSizeHint()));
  move(frame.left + 8, frame.top + 40);
}

void QtMainWindow::RestoreSettings() {
  const QSettings settings = UserSettings();
  if (settings.contains(QString::fromLatin1(kGeometryKey)))
    restoreGeometry(settings.value(QString::fromLatin1(kGeometryKey)).toByteArray());
  splitter1_->restoreState(settings.value(QString::fromLatin1(kSplitter1Key)).toByteArray());
  splitter2_->restoreState(settings.value(QString::fromLatin1(kSplitter2Key)).toByteArray());
}

void QtMainWindow::SaveSettings() const {
  QSettings settings = UserSettings();
  settings.setValue(QString::fromLatin1(kGeometryKey), saveGeometry());
  settings.setValue(QString::fromLatin1(kSplitter1Key), splitter1_->saveState());
  settings.setValue(QString::fromLatin1(kSplitter2Key), splitter2_->saveState());
}

QWidget* QtMainWindow::BuildResultsBar() {
  resultsBar_ = new QWidget;
  resultsBar_->setObjectName(QStringLiteral("ResultsBar"));
  auto* layout = new QHBoxLayout(resultsBar_);
  layout->setContentsMargins(2, 1, 2, 1);
  layout->setSpacing(4);
  for (const ChangeKind kind : ResultFilter::kKinds) {
    auto* toggle = new QToolButton(resultsBar_);
    toggle->setCheckable(true);
    toggle->setChecked(true);
    toggle->setToolTip(QString::fromUtf8(WindowLayout::kKindToggleTip));
    connect(toggle, &QToolButton::toggled, this, [this, kind](bool shown) { controller_->ShowKind(kind, shown); });
    layout->addWidget(toggle);
    kindToggles_[static_cast<std::size_t>(kind)] = toggle;
  }
  resultText_ = new QLineEdit(resultsBar_);
  resultText_->setObjectName(QStringLiteral("ResultTextEdit"));
  resultText_->setPlaceholderText(QString::fromUtf8(WindowLayout::kResultTextPlaceholder));
  resultText_->setToolTip(QString::fromUtf8(WindowLayout::kResultTextTip));
  resultText_->setClearButtonEnabled(true);
  resultText_->setMaximumWidth(200);
  connect(resultText_, &QLineEdit::textChanged, this,
          [this](const QString& text) { controller_->ShowResultText(text.toStdString()); });
  layout->addWidget(resultText_);
  oldLine_ = new QLabel(resultsBar_);
  oldLine_->setObjectName(QStringLiteral("OldLineView"));
  oldLine_->setTextFormat(Qt::RichText);
  oldLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  oldLine_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  layout->addWidget(oldLine_, 1);
  resultsBar_->hide();
  return resultsBar_;
}

void QtMainWindow::ShowResultKinds(const ResultFilter& filter, bool any) {
  for (const ChangeKind kind : ResultFilter::kKinds)
    kindToggles_[static_cast<std::size_t>(kind)]->setText(QString::fromStdString(filter.Caption(kind)));
  resultsBar_->setVisible(any);
}

void QtMainWindow::ShowOldLine(std::string_view line, const std::vector<MarkedField>& changed) {
  if (line.empty()) {
    oldLine_->clear();
    oldLine_->setToolTip(QString());
    return;
  }
  // The old line, its changed fields in red.
  QString text = QStringLiteral("<span style=\"font-family:monospace\">") + QString::fromUtf8(WindowLayout::kOldLinePrefix);
  for (const PaneText::LinePiece& piece : PaneText::Pieces(line, changed)) {
    const QString shown = FromView(piece.text).toHtmlEscaped();
    text += piece.changed ? QStringLiteral("<b style=\"color:#d00000\">") + shown + QStringLiteral("</b>") : shown;
  }
  oldLine_->setText(text + QStringLiteral("</span>"));
  oldLine_->setToolTip(QString::fromStdString(PaneText::ChangedNames(changed)));
}

void QtMainWindow::ShowPaneMenu(PaneId pane, const QPoint& at) {
  const std::optional<PaneMenu> model = controller_->MenuOfPane(pane);
  if (!model) return;
  QMenu menu(this);
  menu.setObjectName(QStringLiteral("PaneMenu"));
  for (const PaneMenu::Item& item : model->Items())
    menu.addAction(QString::fromUtf8(item.caption))->setEnabled(item.enabled);
  // The item triggered, however the menu closes after it.
  int chosen = -1;
  connect(&menu, &QMenu::triggered, &menu, [&](QAction* item) { chosen = static_cast<int>(menu.actions().indexOf(item)); });
  menu.exec(PaneView(pane)->viewport()->mapToGlobal(at));
  const PaneMenu::Outcome outcome = model->Choose(chosen);
  if (!outcome.clipboard.empty()) QGuiApplication::clipboard()->setText(DisplayText::Of(outcome.clipboard));
  if (outcome.folder) controller_->ShowFolder(*outcome.folder);
}

// ---- Find in a pane ----

void QtMainWindow::BuildFindBar() {
  findBar_ = new QFrame(this);
  findBar_->setObjectName(QStringLiteral("FindBar"));
  static_cast<QFrame*>(findBar_)->setFrameStyle(QFrame::Panel | QFrame::Raised);
  findBar_->setAutoFillBackground(true);
  auto* layout = new QHBoxLayout(findBar_);
  layout->setContentsMargins(4, 2, 4, 2);
  findEdit_ = new QLineEdit(findBar_);
  findEdit_->setObjectName(QStringLiteral("FindEdit"));
  findEdit_->setPlaceholderText(QString::fromUtf8(WindowLayout::kFindPlaceholder));
  findEdit_->setMinimumWidth(160);
  findEdit_->installEventFilter(this);
  findCount_ = new QLabel(findBar_);
  findCount_->setObjectName(QStringLiteral("FindCount"));
  findCount_->setMinimumWidth(90);
  layout->addWidget(findEdit_);
  layout->addWidget(findCount_);
  for (const ActionId id : {ActionId::EditFindPreviousAction, ActionId::EditFindNextAction}) {
    auto* step = new QToolButton(findBar_);
    step->setText(id == ActionId::EditFindNextAction ? QStringLiteral("\u25BC") : QStringLiteral("\u25B2"));
    step->setToolTip(Action(id)->toolTip());
    connect(step, &QToolButton::clicked, Action(id), &QAction::trigger);
    layout->addWidget(step);
  }
  findBar_->hide();
  findTimer_ = new QTimer(this);
  findTimer_->setInterval(kFindPollMs);
  connect(findTimer_, &QTimer::timeout, this, [this] { controller_->TakeHits(); });
  connect(findEdit_, &QLineEdit::textChanged, this, [this] { controller_->FindTextChanged(); });
}

void QtMainWindow::ShowFindBar(PaneId pane, bool place) {
  if (place) {
    QListView* view = PaneView(pane);
    findBar_->setParent(view);
    findBar_->adjustSize();
    findBar_->move(std::max(0, view->width() - findBar_->width() - 20), 2);
  }
  findBar_->show();
  findBar_->raise();
  findEdit_->setFocus(Qt::ShortcutFocusReason);
  findEdit_->selectAll();
}

void QtMainWindow::HideFindBar(PaneId pane) {
  findBar_->hide();
  PaneView(pane)->setFocus(Qt::OtherFocusReason);
}

std::string QtMainWindow::FindText() { return findEdit_->text().toStdString(); }

void QtMainWindow::ShowFindCount(std::string_view text) { findCount_->setText(FromView(text)); }

void QtMainWindow::PollFind(bool on) {
  if (on) {
    findTimer_->start();
  } else {
    findTimer_->stop();
  }
}

void QtMainWindow::GoToRow(PaneId pane, int row) {
  QListView* view = PaneView(pane);
  const QModelIndex index = Model(pane)->index(row);
  view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  view->scrollTo(index, QAbstractItemView::PositionAtCenter);
}
