// Another program for the real-window tests: a small window that starts a
// drag of the file named on its command line when a mouse button goes down on
// it. It stays until it is ended, so the drop's data can be read from it.
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>

namespace {

class DragSource final : public QWidget {
public:
    explicit DragSource(QString file) : m_file(std::move(file))
    {
        setWindowTitle(QStringLiteral("Drag source"));
        setStyleSheet(QStringLiteral("background: #c03030;"));
    }

protected:
    void mousePressEvent(QMouseEvent*) override
    {
        auto* data = new QMimeData;
        data->setUrls({QUrl::fromLocalFile(m_file)});
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        drag->exec(Qt::CopyAction);
    }

private:
    QString m_file;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    DragSource source(QString::fromLocal8Bit(argv[1]));
    source.setGeometry(20, 620, 160, 120);
    source.show();
    return QApplication::exec();
}
