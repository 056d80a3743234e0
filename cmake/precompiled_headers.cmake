# Precompiled headers. Most of a file's compile time goes into parsing the
# same Qt and standard headers (over 100,000 lines a file), so each level of
# libraries has one set, compiled once by one target of that level and reused
# by the others: core (no Qt Gui), images (Qt Gui, no widgets) and widgets.
# A set holds only headers of its level, so a core still cannot use a widget.

set(TESSALY_PCH_CORE
  <algorithm> <atomic> <chrono> <cmath> <cstdio> <cstring> <deque> <functional> <map> <memory> <mutex>
  <optional> <string> <thread> <variant> <vector>
  <QByteArray> <QCoreApplication> <QDateTime> <QDir> <QElapsedTimer> <QFile> <QFileInfo> <QList> <QLocale>
  <QObject> <QRegularExpression> <QSet> <QString> <QStringList> <QThread> <QTimer>)
set(TESSALY_PCH_GUI ${TESSALY_PCH_CORE}
  <QColor> <QImage> <QPainter> <QRectF>)
set(TESSALY_PCH_WIDGETS ${TESSALY_PCH_GUI}
  <QApplication> <QCheckBox> <QDialog> <QFrame> <QGroupBox> <QHBoxLayout> <QKeyEvent> <QLabel> <QLineEdit>
  <QMouseEvent> <QPlainTextEdit> <QPushButton> <QRadioButton> <QSpinBox> <QStatusBar> <QVBoxLayout> <QWidget>)
