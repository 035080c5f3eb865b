#include "picturebatch.h"

#include "interaction.h"
#include "keptfile.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>

#include <mutex>

namespace {

PictureBatch::Loader& testLoader()
{
    static PictureBatch::Loader loader;
    return loader;
}

// Threads of their own: Qt's shared pool also runs the UI thread's own painting and scaling,
// which would wait behind a slow picture.
QThreadPool& workers()
{
    static QThreadPool* pool = [] {
        auto* made = new QThreadPool(QCoreApplication::instance()); // waits for its loads as the program ends
        made->setMaxThreadCount(PictureBatch::Workers);
        return made;
    }();
    return *pool;
}

} // namespace

// The one way back from the workers: cut off (under its lock) when the batch is cancelled or
// goes, so that a load that ends later frees its result where it ran.
struct PictureBatch::Post {
    std::mutex mutex;
    PictureBatch* batch = nullptr;
};

PictureBatch::PictureBatch(QStringList files, QSize box, qreal devicePixelRatio, QObject* parent)
    : QObject(parent), m_files(std::move(files)), m_box(box), m_dpr(devicePixelRatio), m_post(std::make_shared<Post>())
{
    m_post->batch = this;
}

PictureBatch::~PictureBatch()
{
    Cancel();
}

void PictureBatch::SetLoaderForTests(Loader loader)
{
    testLoader() = std::move(loader);
}

void PictureBatch::Start()
{
    Pump();
}

void PictureBatch::Hold()
{
    ++m_holds;
}

void PictureBatch::Resume()
{
    if (m_holds > 0 && --m_holds == 0)
        Pump();
}

void PictureBatch::Cancel()
{
    m_cancelled = true;
    m_done.clear();
    const std::lock_guard<std::mutex> lock(m_post->mutex);
    m_post->batch = nullptr;
}

void PictureBatch::StartLoads()
{
    while (!m_cancelled && m_holds == 0 && QuestionsOpen() == 0 && m_running < Workers && m_started < Count() &&
           m_started < m_next + Ahead) {
        const int index = m_started++;
        ++m_running;
        Loader load = testLoader();
        if (!load)
            load = [](const QString& path, QSize box, qreal dpr) { return Pictures::LoadKeptPicture(path, box, dpr); };
        workers().start([post = m_post, load, path = m_files[index], box = m_box, dpr = m_dpr, index] {
            Pictures::LoadResult result = load(path, box, dpr);
            const std::lock_guard<std::mutex> lock(post->mutex);
            if (PictureBatch* batch = post->batch) {
                // Dropped with its result if the batch is gone before the UI thread gets to it.
                QMetaObject::invokeMethod(
                    batch, [batch, index, result] { batch->Landed(index, result); }, Qt::QueuedConnection);
            }
        });
    }
}

void PictureBatch::Landed(int index, Pictures::LoadResult result)
{
    --m_running;
    if (m_cancelled)
        return;
    m_done.emplace(index, std::move(result));
    Pump();
}

void PictureBatch::Pump()
{
    // A handler's own question runs the event loop: what lands meanwhile waits for the
    // handler to return, so that slots are filled in order and one question at a time.
    if (m_pumping)
        return;
    m_pumping = true;
    const QPointer<PictureBatch> self(this);
    while (!m_cancelled && m_holds == 0 && QuestionsOpen() == 0) {
        const auto it = m_done.find(m_next);
        if (it == m_done.end())
            break;
        const Pictures::LoadResult result = std::move(it->second);
        m_done.erase(it);
        emit Ready(m_next++, result);
        if (!self)
            return;
    }
    m_pumping = false;
    if (!m_cancelled && QuestionsOpen() > 0 && !m_retrySoon) {
        // Another screen's question is open: look again once it may have closed.
        m_retrySoon = true;
        QTimer::singleShot(50, this, [this] {
            m_retrySoon = false;
            Pump();
        });
    }
    StartLoads();
}
