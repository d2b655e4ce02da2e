// Generated templates that combine the engine's features at random: each
// is prepared and its pages checked against the rules every sound report
// keeps (lyrproperty.h).

#include "lyrproperty.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <set>
#include <thread>

namespace {

// Ends the test program, naming the template, when one runs far longer
// than any template of its size may: a run that never ends fails instead
// of holding the suite.
class Watchdog {
public:
    explicit Watchdog(std::chrono::seconds limit) : limit_(limit), thread_([this] { watch(); }) {}
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> lock(m_);
            done_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    void start(uint64_t seed)
    {
        std::lock_guard<std::mutex> lock(m_);
        seed_ = seed;
        since_ = std::chrono::steady_clock::now();
        ++generation_;
        cv_.notify_all();
    }

private:
    void watch()
    {
        std::unique_lock<std::mutex> lock(m_);
        while (!done_) {
            const uint64_t gen = generation_;
            if (cv_.wait_until(lock, since_ + limit_, [&] { return done_ || generation_ != gen; })) continue;
            std::fprintf(stderr, "template of seed %llu did not end within %lld s\n",
                         static_cast<unsigned long long>(seed_), static_cast<long long>(limit_.count()));
            std::fflush(stderr);
            std::_Exit(3);
        }
    }
    std::chrono::seconds limit_;
    std::mutex m_;
    std::condition_variable cv_;
    bool done_ = false;
    uint64_t seed_ = 0, generation_ = 0;
    std::chrono::steady_clock::time_point since_ = std::chrono::steady_clock::now();
    std::thread thread_;
};

class PropertyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        lyrRegisterReportClasses();
        lyrInstallEngine();
    }
    void TearDown() override { lyrEngineFactories() = TlyrEngineFactories(); }
    static QString failures(const lyrprop::Spec &s, const std::vector<lyrprop::Failure> &f)
    {
        QString out = s.describe();
        for (const lyrprop::Failure &x : f) out += QStringLiteral("\n  ") + x.Kind + QStringLiteral(": ") + x.Text;
        return out;
    }
};

// Seeds beyond the first range that once failed (found by long runs); they
// stay here once fixed.
const uint64_t kFoundSeeds[] = {0};

// Seeds of faults still open: a kept master whose inner group starts new
// pages moves its block at every break, the second time to a negative
// place (a keep block is to move once; that fix is being made apart).
const std::set<uint64_t> kOpen = {190};

}  // namespace

// Several hundred templates from fixed seeds: every one prints each record
// once, in order, inside its page, with nothing over anything.
TEST_F(PropertyTest, GeneratedTemplatesKeepEveryRule)
{
    std::vector<uint64_t> seeds;
    for (uint64_t s = 1; s <= 400; ++s) seeds.push_back(s);
    for (uint64_t s : kFoundSeeds)
        if (s) seeds.push_back(s);
    Watchdog watchdog(std::chrono::seconds(60));
    int ran = 0;
    for (uint64_t seed : seeds) {
        if (kOpen.count(seed)) continue;
        lyrprop::SeedSource src(seed);
        const lyrprop::Spec spec = lyrprop::generate(src, seed);
        watchdog.start(seed);
        std::vector<lyrprop::Failure> f = lyrprop::runSpec(spec);
        f.erase(std::remove_if(f.begin(), f.end(),
                               [&](const lyrprop::Failure &x) { return lyrprop::awaitingEngineFix(spec, x); }),
                f.end());
        EXPECT_TRUE(f.empty()) << failures(spec, f).toStdString();
        ++ran;
    }
    EXPECT_GE(ran, 380);
}

// The same seed gives the same template; the fuzzer's bytes give templates
// too, and none (plain zeros) gives the plainest.
TEST_F(PropertyTest, TheGeneratorIsDeterministic)
{
    lyrprop::SeedSource a(77), b(77), c(78);
    EXPECT_EQ(lyrprop::generate(a, 77).describe(), lyrprop::generate(b, 77).describe());
    lyrprop::SeedSource a2(77);
    EXPECT_NE(lyrprop::generate(a2, 77).describe(), lyrprop::generate(c, 78).describe());
    lyrprop::ByteSource none(nullptr, 0);
    const lyrprop::Spec plain = lyrprop::generate(none);
    EXPECT_EQ(plain.Records, 0);
    EXPECT_TRUE(lyrprop::runSpec(plain).empty());
}

// Reduced templates of faults the generated templates found, each kept as
// it was reduced (lyrprop writes these lines beside the template files).
TEST_F(PropertyTest, ReducedTemplatesOfFoundFaultsKeepEveryRule)
{
    const char *cases[] = {
            // A subreport's own object was copied onto the page, over its rows.
            "paper 100x68.5 margin 0 pagecols 1 records 0 mastercols 1 height 16 title overlay 0 sub 1/3 detail 0 "
            "words 0 groups []",
            // Every child of a two-column list's records printed under the first column.
            "paper 189x154 margin 0 pagecols 1 records 2 mastercols 2 height 16 child overlay 0 sub 0/0 detail 0 "
            "words 0 groups []",
            // Split records of a two-column list were cut across columns at negative places.
            "paper 190x70.6166 margin 0 pagecols 2 records 7 mastercols 2 height 16 split overlay 0 sub 0/0 detail 0 "
            "words 17 groups []",
            // Children of records in the second page column printed under the first.
            "paper 165x122 margin 5 pagecols 2 records 17 mastercols 2 height 32 header child overlay 0 sub 0/0 "
            "detail 0 words 0 groups []",
            // The column footer of a row left open by a new page sat on the row's first record.
            "paper 196x81.2 margin 0 pagecols 1 records 2 mastercols 2 height 16 colfooter newpage overlay 0 sub 0/0 "
            "detail 0 words 0 groups [{size 2}]",
            // The column footer after a split band's part sat on that part.
            "paper 184x81 margin 4 pagecols 2 records 2 mastercols 1 height 16 pageheader pagefooter colfooter split "
            "overlay 0 sub 0/0 detail 0 words 38 groups []",
            // A child band moved to the next page, and the row went on at the old row's height.
            "paper 141x87 margin 0 pagecols 1 records 13 mastercols 2 height 24 title pageheader pagefooter colheader "
            "header child overlay 0 sub 0/0 detail 0 words 0 groups []",
            // Below a title whose subreport filled the page, a header ran off its bottom.
            "paper 192x95 margin 0 pagecols 1 records 1 mastercols 1 height 16 title colfooter header overlay 0 sub "
            "1/18 detail 0 words 0 groups []",
            // A split band's subreport was left out.
            "paper 173x128 margin 0 pagecols 2 records 3 mastercols 1 height 16 split overlay 0 sub 2/1 detail 0 "
            "words 33 groups []",
            // The column footer of a column a subreport broke sat on the band holding it.
            "paper 96x70.4999589896 margin 1 pagecols 1 records 6 mastercols 1 height 32 title pageheader pagefooter "
            "colfooter split overlay 0 sub 2/1 detail 0 words 0 groups []",
            // A title's subreport under the page header went on in the next column over that header.
            "paper 147x118 margin 4 pagecols 2 records 0 mastercols 1 height 16 title title-after pageheader overlay 0 "
            "sub 1/22 detail 0 words 0 groups []",
    };
    for (const char *c : cases) {
        const lyrprop::Spec s = lyrprop::parse(QString::fromLatin1(c));
        std::vector<lyrprop::Failure> f = lyrprop::runSpec(s);
        f.erase(std::remove_if(f.begin(), f.end(),
                               [&](const lyrprop::Failure &x) { return lyrprop::awaitingEngineFix(s, x); }),
                f.end());
        EXPECT_TRUE(f.empty()) << failures(s, f).toStdString();
    }
}

// A template's line reads back as the same template.
TEST_F(PropertyTest, ATemplatesLineReadsBackAsTheSameTemplate)
{
    for (uint64_t seed = 1; seed <= 200; ++seed) {
        lyrprop::SeedSource src(seed);
        const lyrprop::Spec s = lyrprop::generate(src, seed);
        EXPECT_EQ(lyrprop::parse(s.describe()).describe(), s.describe());
    }
}

// A failing template is reduced while it fails the same way and written
// as a template with its data that lyrrun prepares to the same pages.
TEST_F(PropertyTest, AFailureIsReducedAndWrittenForLyrrun)
{
    lyrprop::SeedSource src(5);
    lyrprop::Spec big = lyrprop::generate(src, 5);
    big.Records = 30;
    big.Groups = {lyrprop::Group{3, false, false, false, false, true}};
    // Stands for a fault: more than four records.
    auto fails = [](const lyrprop::Spec &s) { return s.Records > 4; };
    const lyrprop::Spec small = lyrprop::reduce(big, fails);
    EXPECT_EQ(small.Records, 5);
    EXPECT_TRUE(small.Groups.empty());
    EXPECT_FALSE(small.PageHeader || small.PageFooter || small.Title || small.Summary || small.Header);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString cmd = lyrprop::writeCase(small, dir.path(), QStringLiteral("case"));
    QStringList args = cmd.split(QLatin1Char(' ')).mid(1);
    const QString lyrrun = QStringLiteral(VELMORA_BINARY_DIR "/bin/lyrrun");
    if (!QFile::exists(lyrrun)) GTEST_SKIP() << "lyrrun is not built";
    QProcess p;
    p.start(lyrrun, args);
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(out.contains(QStringLiteral("rec:M:") + lyrprop::recordId(i))) << out.toStdString();
}
