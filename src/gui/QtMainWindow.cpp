#include "gui/QtMainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
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
#include <functional>

#include "app/ActionTable.h"
#include "app/Hint.h"
#include "app/WindowLayout.h"
#include "surfaces/Texts.h"
#include "documents/ListingFile.h"
#include "engine/ExcludePatterns.h"
#include "gui/DialogProvider.h"
#include "gui/DisplayText.h"
#include "gui/Glyphs.h"
#include "platform/QuillonError.h"
#include "platform/RegionalSettings.h"

namespace {

QString FromView(std::string_view text) { return DisplayText::Of(text); }

constexpr int kRepaintIntervalMs = 100;  // new rows and figures at most 10 times a second during a run
constexpr int kPumpIntervalMs = 20;      // input, Escape and Stop above all, answered this often
constexpr int kPaintShare = 20;          // new rows take at most about a twentieth of a run
constexpr int kPanel3Width = WindowLayout::kPanelWidths[3];
using WindowLayout::kMd5Hint;

// The user's choices that outlive a session.
QSettings UserSettings() { return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Quillon", "Quillon"); }
constexpr const char* kDetectMovesKey = WindowLayout::kDetectMovesKey;
constexpr const char* kReuseDigestsKey = WindowLayout::kReuseDigests.settingKey;
constexpr const char* kExcludePatternsKey = WindowLayout::kExcludePatterns.settingKey;

}  // namespace

QtMainWindow::QtMainWindow(DialogProvider& dialogs, FolderSearch& search, const QString& helpFile, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), help_(helpFile) {
  setObjectName(QStringLiteral("MainWindow"));
  setWindowIcon(Glyphs::ProgramIcon());
  BuildActions();
  BuildListingChoices();
  BuildMenu();
  BuildToolBar();
  BuildCentralArea();
  BuildStatusBar();

  resize(WindowLayout::kClientWidth, WindowLayout::kClientHeight + menuBar()->sizeHint().height());
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame(QPoint(), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  setTabOrder(md5_, edit_);
  setTabOrder(edit_, views_[0]);
  setTabOrder(views_[0], views_[1]);
  setTabOrder(views_[1], views_[2]);

  connect(qApp, &QApplication::focusChanged, this, [this] { UpdateEditActions(); });
  connect(edit_, &QLineEdit::selectionChanged, this, [this] { UpdateEditActions(); });
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] { UpdateEditActions(); });

  lastWindowPaint_.start();
  lastStatusPaint_.start();
  lastPump_.start();
  // FormCreate, then the constructor body of the logic.
  logic_ = std::make_unique<TMainWindow>(*this, search, RegionalSettings::FromUserLocale());
  logic_->FormCreate(this);
}

QtMainWindow::~QtMainWindow() {
  // Hiding a window that has the focus announces a focus change; by then this
  // object is half destroyed and must not hear it.
  disconnect(qApp, nullptr, this, nullptr);
  disconnect(QGuiApplication::clipboard(), nullptr, this, nullptr);
  if (!destroyed_ && logic_) logic_->FormDestroy(this);
}

void QtMainWindow::BuildActions() {
  for (const ActionInfo& info : kActionTable) {
    auto* action = new QAction(QString::fromUtf8(info.caption), this);
    action->setObjectName(QString::fromLatin1(NameOf(info.id).data(), static_cast<qsizetype>(NameOf(info.id).size())));
    action->setProperty("category", QString::fromLatin1(info.category));
    if (*info.shortcut) action->setShortcut(QKeySequence(QString::fromLatin1(info.shortcut)));
    if (info.glyph >= 0) action->setIcon(Glyphs::Glyph(info.glyph));
    action->setEnabled(info.enabledAtStart);
    enabled_[static_cast<int>(info.id)] = info.enabledAtStart;
    action->setVisible(info.visible);
    action->setToolTip(FromView(Hint::ShortPart(info.hint)));
    action->setStatusTip(FromView(Hint::LongPart(info.hint)));
    actions_[static_cast<int>(info.id)] = action;
  }
  const auto bind = [this](ActionId id, Handler handler) {
    connect(Action(id), &QAction::triggered, this, [this, handler] { Run(handler); });
  };
  bind(ActionId::FileNewAction, &TMainWindow::FileNewActionExecute);
  bind(ActionId::FileOpenAction, &TMainWindow::FileOpenActionExecute);
  bind(ActionId::FileSaveAction, &TMainWindow::FileSaveActionExecute);
  bind(ActionId::FileSaveAsAction, &TMainWindow::FileSaveAsActionExecute);
  bind(ActionId::FileSaveResultAction, &TMainWindow::FileSaveResultActionExecute);
  bind(ActionId::FileExitAction, &TMainWindow::FileExitActionExecute);
  bind(ActionId::EditListContentAction, &TMainWindow::EditListContentActionExecute);
  bind(ActionId::EditCompareContentAction, &TMainWindow::EditCompareContentActionExecute);
  bind(ActionId::EditRepeatLastAction, &TMainWindow::EditRepeatLastActionExecute);
  bind(ActionId::HelpProgramAction, &TMainWindow::HelpProgramActionExecute);
  bind(ActionId::HelpAboutAction, &TMainWindow::HelpAboutActionExecute);
  // Stop acts while a command runs, so it cannot wait for its turn as the
  // other commands do: it only raises the request the work polls for.
  connect(Action(ActionId::EditStopAction), &QAction::triggered, this, [this] { RequestStop(); });
  // The standard edit actions work on whichever line edit has the focus.
  const auto onEdit = [this](ActionId id, const std::function<void(QLineEdit*)>& operation) {
    connect(Action(id), &QAction::triggered, this, [this, operation] {
      if (working_) return;
      if (auto* line = qobject_cast<QLineEdit*>(QApplication::focusWidget())) operation(line);
    });
  };
  onEdit(ActionId::EditCutAction, [](QLineEdit* line) { line->cut(); });
  onEdit(ActionId::EditCopyAction, [](QLineEdit* line) { line->copy(); });
  onEdit(ActionId::EditPasteAction, [](QLineEdit* line) { line->paste(); });
  // Detect Moved Files is a choice kept between sessions, not a command.
  QAction* moves = Action(ActionId::EditDetectMovesAction);
  moves->setCheckable(true);
  moves->setChecked(UserSettings().value(kDetectMovesKey, false).toBool());
  connect(moves, &QAction::toggled, this, [](bool checked) { UserSettings().setValue(kDetectMovesKey, checked); });
  for (QAction* action : actions_) addAction(action);
}

void QtMainWindow::BuildListingChoices() {
  const QSettings settings = UserSettings();
  const auto make = [this](const WindowLayout::ChoiceInfo& choice) {
    auto* action = new QAction(QString::fromUtf8(choice.caption), this);
    action->setObjectName(QString::fromLatin1(choice.name));
    action->setToolTip(FromView(Hint::ShortPart(choice.hint)));
    action->setStatusTip(FromView(Hint::LongPart(choice.hint)));
    return action;
  };
  reuseDigests_ = make(WindowLayout::kReuseDigests);
  reuseDigests_->setCheckable(true);
  reuseDigests_->setChecked(settings.value(QString::fromLatin1(kReuseDigestsKey), false).toBool());
  connect(reuseDigests_, &QAction::toggled, this,
          [](bool checked) { UserSettings().setValue(QString::fromLatin1(kReuseDigestsKey), checked); });
  excludePatterns_ = make(WindowLayout::kExcludePatterns);
  excludeText_ = settings.value(QString::fromLatin1(kExcludePatternsKey), QString()).toString();
  connect(excludePatterns_, &QAction::triggered, this, [this] { EditExcludePatterns(); });
}

void QtMainWindow::EditExcludePatterns() {
  QString text = excludeText_;
  for (;;) {
    const std::optional<QString> edited = dialogs_.EditExcludePatterns(this, text);
    if (!edited) return;
    text = *edited;
    try {
      // A malformed pattern is refused here, long before a listing.
      ExcludePatterns check(ExcludePatterns::FromLines(text.toStdString()));
    } catch (const QuillonError& error) {
      dialogs_.ShowError(this, QString::fromUtf8(error.what()));
      continue;
    }
    excludeText_ = text;
    UserSettings().setValue(QString::fromLatin1(kExcludePatternsKey), text);
    return;
  }
}

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
    for (const WindowLayout::MenuItem& item : info.items) {
      switch (item.kind) {
        case WindowLayout::ItemKind::Action:
          m->addAction(Action(item.action));
          break;
        case WindowLayout::ItemKind::Separator:
          m->addSeparator()->setObjectName(QString::fromLatin1(item.name));
          break;
        case WindowLayout::ItemKind::ReuseDigests:
          m->addAction(reuseDigests_);
          break;
        case WindowLayout::ItemKind::ExcludePatterns:
          m->addAction(excludePatterns_);
          break;
      }
    }
  }
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
  edit_->setFixedSize(WindowLayout::kEditWidth, WindowLayout::kToolControlHeight);
  edit_->setReadOnly(true);
  bar->addWidget(edit_);
}

QListView* QtMainWindow::MakePane(PaneId pane, const char* name) {
  auto* model = new PaneModel(this);
  auto* view = new QListView;
  view->setObjectName(QString::fromLatin1(name));
  view->setModel(model);
  view->setUniformItemSizes(true);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setTextElideMode(Qt::ElideNone);
  view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
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

  static constexpr Handler kClicks[] = {&TMainWindow::ListBox1Click, &TMainWindow::ListBox2Click,
                                        &TMainWindow::ListBox3Click};
  const Handler click = kClicks[static_cast<int>(pane)];
  connect(view, &QListView::clicked, this, [this, click] { Run(click); });
  connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this, view, click] {
    // Keyboard selection; a mouse click is reported by clicked.
    if (view->hasFocus() && !(QApplication::mouseButtons() & Qt::LeftButton)) Run(click);
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
  label1_ = new QLabel(QStringLiteral("Selected: ?"), panel);
  label1_->setObjectName(QStringLiteral("Label1"));
  label1_->setFont(labelFont);
  label1_->move(WindowLayout::kLabel1Left, WindowLayout::kLabelTop);
  label1_->adjustSize();
  label2_ = new QLabel(QStringLiteral("Loaded File: ?"), panel);
  label2_->setObjectName(QStringLiteral("Label2"));
  label2_->setFont(labelFont);
  label2_->move(WindowLayout::kLabel2Left, WindowLayout::kLabelTop);
  label2_->adjustSize();
  layout->addWidget(panel);

  auto* splitter2 = new QSplitter(Qt::Vertical, central);
  splitter2->setObjectName(QStringLiteral("Splitter2"));
  auto* splitter1 = new QSplitter(Qt::Horizontal, splitter2);
  splitter1->setObjectName(QStringLiteral("Splitter1"));
  for (QSplitter* splitter : {splitter1, splitter2}) {
    splitter->setHandleWidth(WindowLayout::kSplitterSize);
    splitter->setChildrenCollapsible(false);
    splitter->setOpaqueResize(true);
  }
  splitter1->addWidget(MakePane(PaneId::ListBox1, "ListBox1"));
  splitter1->addWidget(MakePane(PaneId::ListBox2, "ListBox2"));
  splitter1->setStretchFactor(0, 0);
  splitter1->setStretchFactor(1, 1);
  splitter1->setSizes({WindowLayout::kListBox1Width, 404});
  splitter2->addWidget(splitter1);
  splitter2->addWidget(MakePane(PaneId::ListBox3, "ListBox3"));
  splitter2->setStretchFactor(0, 1);
  splitter2->setStretchFactor(1, 0);
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
  static constexpr auto kWidths = WindowLayout::kPanelWidths;
  for (int i = 0; i < 5; ++i) {
    auto* label = new QLabel(statusBar_);
    label->setObjectName(QStringLiteral("Panel%1").arg(i));
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAlignment(i < 4 ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignVCenter));
    if (i < 4) {
      label->setFixedWidth(kWidths[i]);
    } else {
      label->setMinimumWidth(kWidths[i]);
    }
    layout->addWidget(label, i < 4 ? 0 : 1);
    if (i == 4) label->installEventFilter(this);
    panels_[static_cast<std::size_t>(i)] = label;
  }
  static_cast<QVBoxLayout*>(centralWidget()->layout())->addWidget(statusBar_);
}

void QtMainWindow::Run(Handler handler) {
  // A command asked for while work runs is dropped, not queued for later.
  if (working_) return;
  if (running_ == 0) unreadable_.Clear();
  ++running_;
  logic_->Dispatch([this, handler] { (logic_.get()->*handler)(this); });
  --running_;
  AnnouncePanes();
  if (running_ == 0 && closeRequested_) {
    closeRequested_ = false;
    QTimer::singleShot(0, this, &QWidget::close);
  }
}

void QtMainWindow::AnnouncePanes() {
  for (int i = 0; i < 3; ++i) {
    // During work a pane follows its end until the user scrolls away from it.
    const QScrollBar* bar = views_[i]->verticalScrollBar();
    const bool follow = working_ && bar->value() >= bar->maximum() && !bar->isSliderDown();
    if (models_[i]->Announce() && follow) views_[i]->scrollToBottom();
  }
}

// ---- Work that may be stopped ----

void QtMainWindow::BeginWork() {
  working_ = true;
  // The listing choices hold from the start of a run to its end.
  reuseDigests_->setEnabled(false);
  excludePatterns_->setEnabled(false);
  stopRequested_ = false;
  figuresShown_ = figuresPending_ = false;
  figures_.Restart();
  for (PaneModel* model : models_) model->HoldAnnouncements(true);
  // Input is answered during the work; what it may not do is dropped here.
  qApp->installEventFilter(this);
  lastPump_.restart();
  lastWindowPaint_.restart();
  lastStatusPaint_.restart();
  announceInterval_ = kRepaintIntervalMs;
}

void QtMainWindow::EndWork() {
  // The last lines, still following the end; and input that came in at the
  // very end is dropped too, not left for later.
  AnnouncePanes();
  QCoreApplication::processEvents();
  qApp->removeEventFilter(this);
  working_ = false;
  reuseDigests_->setEnabled(true);
  excludePatterns_->setEnabled(true);
  stopRequested_ = false;
  for (PaneModel* model : models_) model->HoldAnnouncements(false);
  if (figuresShown_) {
    // The figures were shown in place of the panels' texts, which come back.
    for (std::size_t i = 0; i < 4; ++i) panels_[i]->setText(QString::fromStdString(panelTexts_[i]));
    panels_[3]->setToolTip(QString());
  }
  figuresShown_ = false;
}

void QtMainWindow::RequestStop() {
  if (working_) stopRequested_ = true;
}

bool QtMainWindow::StopRequested() {
  if (!working_) return false;
  if (lastPump_.elapsed() >= kPumpIntervalMs) Pump();
  return stopRequested_;
}

void QtMainWindow::ShowRunProgress(const RunProgress& progress) {
  progress_ = progress;
  figuresPending_ = working_;
}

void QtMainWindow::Pump() {
  lastPump_.restart();
  if (figuresPending_ && lastStatusPaint_.elapsed() >= kRepaintIntervalMs) {
    lastStatusPaint_.restart();
    ShowFigures();
  }
  if (lastWindowPaint_.elapsed() < announceInterval_) {
    QCoreApplication::processEvents();
    return;
  }
  // New rows cost the view a layout pass over all its rows, and a paint: the
  // pause between them grows with their cost, so that they take a small and
  // steady share of the run whatever its size.
  QElapsedTimer cost;
  cost.start();
  AnnouncePanes();
  QCoreApplication::processEvents();
  announceInterval_ = std::max<qint64>(kRepaintIntervalMs, cost.elapsed() * kPaintShare);
  lastWindowPaint_.restart();
}

void QtMainWindow::ShowFigures() {
  figuresPending_ = false;
  figuresShown_ = true;
  const std::array<std::string, 4> texts = figures_.PanelTexts(progress_, RunFigures::Clock::now());
  for (std::size_t i = 0; i < texts.size(); ++i) panels_[i]->setText(QString::fromStdString(texts[i]));
  if (progress_.digests) panels_[3]->setToolTip(QString::fromUtf8(RunFigures::kRateTip));
}

bool QtMainWindow::DropsDuringWork(QObject* watched, QEvent* event) {
  // Only this window waits for the run: another one, such as a warning shown
  // during the run or the help, answers as usual.
  if (const auto* widget = qobject_cast<const QWidget*>(watched); widget != nullptr && widget->window() != this)
    return false;
  if (const auto* handle = qobject_cast<const QWindow*>(watched); handle != nullptr && handle != windowHandle())
    return false;
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      // An open menu is steered by the keys; its commands are dropped in Run.
      if (QApplication::activePopupWidget() != nullptr) return false;
      const auto* key = static_cast<QKeyEvent*>(event);
      if (event->type() == QEvent::KeyPress && key->key() == Qt::Key_Escape) RequestStop();
      return true;
    }
    case QEvent::Shortcut:
      return watched != Action(ActionId::EditStopAction);
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
      // Scroll bars, splitters, menus and the Stop button still answer.
      if (QApplication::activePopupWidget() != nullptr) return false;
      if (watched == stopButton_) return false;
      return !(qobject_cast<QScrollBar*>(watched) || qobject_cast<QSplitterHandle*>(watched) ||
               qobject_cast<QMenuBar*>(watched) || qobject_cast<QMenu*>(watched));
    }
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::InputMethod:
      return true;
    default:
      return false;
  }
}

void QtMainWindow::UpdateEditActions() {
  auto* line = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  const bool selection = line != nullptr && line->hasSelectedText();
  SetActionEnabled(ActionId::EditCutAction, selection);
  SetActionEnabled(ActionId::EditCopyAction, selection);
  const QClipboard* clipboard = QGuiApplication::clipboard();
  SetActionEnabled(ActionId::EditPasteAction, line != nullptr && !clipboard->text().isEmpty());
}

void QtMainWindow::ShowHint(const QString& text) {
  // Setting the text it already has changes nothing.
  if (panels_[4]->text() == text) return;
  panelTexts_[4] = text.toStdString();
  panels_[4]->setText(text);
  // The hint replaces the count of unreadable items, and so their paths.
  unreadableTip_ = false;
  UpdateHintTip();
}

void QtMainWindow::UpdateHintTip() {
  // A hint too long for the panel is shown whole as the panel's tooltip.
  if (unreadableTip_) return;
  QLabel* panel = panels_[4];
  const bool cut = panel->fontMetrics().horizontalAdvance(panel->text()) > panel->contentsRect().width();
  panel->setToolTip(cut ? panel->text() : QString());
}

bool QtMainWindow::event(QEvent* event) {
  // Hints go to panel 4, not to a status bar message.
  if (event->type() == QEvent::StatusTip) {
    ShowHint(static_cast<QStatusTipEvent*>(event)->tip());
    return true;
  }
  return QMainWindow::event(event);
}

bool QtMainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == panels_[4] && event->type() == QEvent::Resize) UpdateHintTip();
  if (working_ && DropsDuringWork(watched, event)) return true;
  for (QListView* view : views_) {
    if (watched != view) continue;
    // A pane has no hint of its own: pointing at it empties panel 4.
    if (event->type() == QEvent::Enter) ShowHint(QString());
    // The list view would copy its current line on its own; only the Copy
    // command copies, and only from the read-only line.
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy))
      return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void QtMainWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LocaleChange && logic_) logic_->SetRegionalSettings(RegionalSettings::FromUserLocale());
  QMainWindow::changeEvent(event);
}

void QtMainWindow::closeEvent(QCloseEvent* event) {
  // A command that is running stops or finishes first; the window closes after it.
  if (running_ > 0) {
    RequestStop();
    closeRequested_ = true;
    event->ignore();
    return;
  }
  if (!destroyed_) {
    destroyed_ = true;
    logic_->FormDestroy(this);
  }
  event->accept();
}

// ---- Surfaces ----

void QtMainWindow::PaneClear(PaneId pane) { Model(pane)->Clear(); }

void QtMainWindow::PaneAddLine(PaneId pane, std::string_view line) { Model(pane)->AddLine(line); }

int QtMainWindow::PaneLineCount(PaneId pane) { return Model(pane)->Pane().Count(); }

std::string_view QtMainWindow::PaneLineAt(PaneId pane, int index) { return Model(pane)->Pane().LineAt(index); }

int QtMainWindow::PaneSelectedIndex(PaneId pane) {
  const QModelIndexList rows = PaneView(pane)->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void QtMainWindow::PaneSetScrollExtent(PaneId pane, int pixels) { Model(pane)->SetScrollExtent(pixels); }

int QtMainWindow::PaneFontSize(PaneId pane) { return PaneView(pane)->font().pointSize(); }

int QtMainWindow::PanePixelsPerInch(PaneId pane) { return PaneView(pane)->logicalDpiY(); }

void QtMainWindow::PaneLoadFromFile(PaneId pane, const std::string& fileName) {
  // Another file starts at its first line, whatever was scrolled to before.
  QListView* view = PaneView(pane);
  struct Rewind {
    QListView* view;
    ~Rewind() {
      view->scrollToTop();
      view->horizontalScrollBar()->setValue(0);
    }
  } rewind{view};
  Model(pane)->LoadFromFile(fileName);
}

void QtMainWindow::PaneSaveToFile(PaneId pane, const std::string& fileName) {
  WriteListingFile(Model(pane)->Pane().Lines().Lines(), fileName);
}

void QtMainWindow::StatusSetPanelText(int panel, std::string_view text) {
  // Panel 4 gets its text from a command only at the end of a listing run,
  // for the count of what could not be read: its tooltip names them.
  if (panel == 4) {
    QStringList tip;
    for (const std::string& line : unreadable_.TipLines()) tip << FromView(line);
    panels_[4]->setToolTip(tip.join(QLatin1Char('\n')));
    unreadableTip_ = !tip.isEmpty();
  }
  // The comparison sets panel 3 once a line; an unchanged text costs nothing.
  std::string& shown = panelTexts_.at(static_cast<std::size_t>(panel));
  if (shown == text) return;
  shown.assign(text);
  QLabel* label = panels_[static_cast<std::size_t>(panel)];
  label->setText(FromView(text));
  // Panel 3 widens for the counts of a finished comparison, at the hints' cost.
  if (panel == 3)
    label->setFixedWidth(std::max(kPanel3Width, label->fontMetrics().horizontalAdvance(label->text()) + 8));
}

void QtMainWindow::StatusRefresh() {
  if (lastStatusPaint_.elapsed() < kRepaintIntervalMs) return;
  lastStatusPaint_.restart();
  statusBar_->repaint();
}

void QtMainWindow::SetCaption(std::string_view text) {
  if (caption_ == text) return;
  caption_.assign(text);
  setWindowTitle(FromView(text));
}

void QtMainWindow::RefreshWindow() {
  // The run polls for a stop far more often than it refreshes; this only
  // makes sure of a pump when it is due.
  if (lastPump_.elapsed() >= kPumpIntervalMs) Pump();
}

void QtMainWindow::SetLabelText(LabelId label, std::string_view text) {
  QLabel* target = label == LabelId::Label1 ? label1_ : label2_;
  target->setText(FromView(text));
  target->adjustSize();
}

void QtMainWindow::EditSetText(std::string_view text) { edit_->setText(FromView(text)); }

void QtMainWindow::EditFocus() { edit_->setFocus(Qt::OtherFocusReason); }

void QtMainWindow::EditSelectAll() { edit_->selectAll(); }

bool QtMainWindow::Md5Ticked() { return md5_->isChecked(); }

bool QtMainWindow::DetectMovesChecked() { return Action(ActionId::EditDetectMovesAction)->isChecked(); }

bool QtMainWindow::ReuseDigestsChecked() { return reuseDigests_->isChecked(); }

std::vector<std::string> QtMainWindow::ExcludePatternList() {
  return ExcludePatterns::FromLines(excludeText_.toStdString());
}

void QtMainWindow::ShowWarning(std::string_view text) { dialogs_.ShowWarning(this, FromView(text)); }

void QtMainWindow::SetActionEnabled(ActionId action, bool enabled) {
  enabled_[static_cast<int>(action)] = enabled;
  Action(action)->setEnabled(enabled);
  if (action == ActionId::EditStopAction && enabled != working_) {
    if (enabled) {
      BeginWork();
    } else {
      EndWork();
    }
  }
}

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

ConfirmAnswer QtMainWindow::AskConfirmation(std::string_view question) {
  return dialogs_.Confirm(this, FromView(question));
}

std::optional<std::string> QtMainWindow::RunOpenDialog() { return dialogs_.OpenFile(this); }

std::optional<std::string> QtMainWindow::RunSaveDialog() { return dialogs_.SaveFile(this); }

std::optional<std::string> QtMainWindow::RunFolderBrowser(std::string_view title) {
  return dialogs_.BrowseForFolder(this, FromView(title));
}

void QtMainWindow::ReportUnreadable(UnreadableKind, std::string_view path, std::string_view) {
  // Shown when the run ends; the window does not stop the run for each one.
  unreadable_.Add(path);
}

void QtMainWindow::ShowErrorBox(std::string_view message) {
  AnnouncePanes();
  dialogs_.ShowError(this, FromView(message));
}

void QtMainWindow::ShowAboutBox() { dialogs_.ShowAbout(this); }

void QtMainWindow::ShowHelpContents() { help_.ShowContents(this); }

void QtMainWindow::QuitHelp() { help_.Quit(); }

void QtMainWindow::CloseWindow() {
  if (running_ > 0) {
    closeRequested_ = true;
  } else {
    close();
  }
}
