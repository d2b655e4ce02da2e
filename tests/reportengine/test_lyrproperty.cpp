// Generated templates that combine the engine's features at random: each
// is prepared and its pages checked against the rules every sound report
// keeps (lyrproperty.h).

#include "lyrproperty.h"
#include "child_cost.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <iterator>
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
    // Each template, given by its line, keeps every rule.
    template <size_t N>
    static void expectEveryRule(const char *const (&lines)[N])
    {
        for (const char *line : lines) {
            const lyrprop::Plan s = lyrprop::parse(QString::fromLatin1(line));
            const std::vector<lyrprop::Failure> f = lyrprop::runPlan(s);
            EXPECT_TRUE(f.empty()) << failures(s, f).toStdString();
        }
    }
    static QString failures(const lyrprop::Plan &s, const std::vector<lyrprop::Failure> &f)
    {
        QString out = s.describe();
        for (const lyrprop::Failure &x : f) out += QStringLiteral("\n  ") + x.Kind + QStringLiteral(": ") + x.Text;
        return out;
    }
};

// Seeds beyond the first range whose templates once failed (found by long
// runs of lyrprop); they stay here once fixed.
const uint64_t kFoundSeeds[] = {
        412, 429, 430, 473, 490, 499, 564, 600, 601, 603, 611, 641, 714, 751, 825, 826, 827, 873, 925, 926, 930, 931,
        932, 987, 1046, 1047, 1139, 1145, 1164, 1167, 1188, 1221, 1283, 1290, 1292, 1302, 1325, 1328, 1359, 1389,
        1408, 1409, 1410, 1459, 1486, 1487, 1514, 1601, 1603, 1683, 1685, 1714, 1752, 1755, 1756, 1757, 1907, 1939,
        1941, 2005, 2106, 2194, 2259, 2260, 2298, 2318, 2320, 2340, 2392, 2393, 2464, 2465, 2526, 2575, 2576, 2577,
        2645, 2722, 2723, 2799, 2805, 2815, 2839, 2842, 2890, 2969, 2999, 3000, 3006, 3062, 3063, 3064, 3163, 3185,
        3188, 3251, 3262, 3339, 3340, 3341, 3362, 3522, 3610, 3611, 3653, 3655, 3664, 3665, 3666, 3694, 3763, 3831,
        3885, 3886, 3961, 3974, 4065, 4269, 4343, 4362, 4917, 4918, 5746, 7672, 9361, 100077, 100165,
        100166, 100196, 100197, 100239, 100365, 100366, 100457, 100458, 100475, 100476, 100620, 100621, 100623,
        100624, 100688, 100689, 100740, 100744, 100810, 100831, 100832, 100839, 100845, 100868, 100890,
        100958, 100959, 400012, 400013, 400025, 400036, 400059, 400178, 400189, 400246, 400247, 400261, 400278,
        400279, 400291, 400292, 400406, 400407, 400429, 400430, 400598, 400625, 400626, 400684, 400769, 400771,
        400837, 400838, 400864, 400978, 400997, 401066, 401091, 401107, 401108, 401183, 401208, 401209, 401281,
        401282, 401330, 401360, 401391, 401392, 401426, 401530, 401531, 401765, 401793, 401841, 401842, 401860,
        401938, 401939, 402022, 402034, 402122, 402139, 402210, 402215, 402242, 402243, 402252, 402254, 402362,
        402372, 402380, 402381, 402389, 402390, 402394, 402514, 402522, 402523, 402581, 402622, 402623, 402661,
        402662, 402679, 402685, 402741, 402742, 402771, 402774, 402789, 402914, 402930, 402935, 402936, 402975,
        403096, 403117, 403118, 403119, 403133, 403134, 403193, 403307, 403308, 403387, 403407, 403409, 403534,
        403538, 403596, 403662, 403663, 403665, 403691, 403692, 403714, 403715, 403730, 403770, 403771, 403854,
        403867, 403869, 403871, 403887, 403888, 403905, 403946, 1000065, 1000068, 1000163, 1000251, 1000512, 1000513,
        1000550, 1000636, 1000644, 1000752, 1000753, 1000754, 1001063, 1001064, 1001107, 1001234, 1001235, 1001489,
        1001490, 1001491, 1001533, 1001832, 1002144, 1002215, 1002259, 1002260, 1002564, 1002598, 1002993, 1003366,
        1003407, 1003531, 1003746, 1004120, 1004237, 1004238, 1005034, 1005035, 1005316, 1005485, 1006795, 1006841,
        1007119, 1007667, 1007668, 1008125, 1009107, 1009108, 1009109, 2000061, 2000062, 2000524, 2000525, 2000586,
        2000587, 2000660, 2000693, 2000698, 2000705, 2000740, 2000748, 2000849, 2001000, 2001001, 2001267, 2001397,
        2001398, 2001426, 2001431, 2001873, 2001903, 2001911, 2002177, 2002337, 2002634, 2002756, 2005487, 2006375,
        2006540, 2006890, 2006891, 2006892, 2007739, 2008580, 2009044, 2009704, 2010042, 
        2010436, 2010759, 2010880, 2011080, 3000081, 3000082, 3006719, 3008211, 3010005, 3010821, 4001695,
        4006601, 5003506,
        // Split bands under a reprinted header that never ended.
        7673, 1003367, 3010006, 3010822, 4001696, 4006602, 
        // A record's child broken into the next column beside a kept group.
        9031919,
        // Kept blocks moved to a new page beside or across a multi-column row.
        20002009, 20028536, 
        // Moved blocks that showed the page they were prepared on.
        1324, 2317, 2318, 2320, 2416, 2417, 2622, 2814, 2815, 2825, 70000259, 70000260, 70000293, 70000674,
        70000675, 70000895, 70000902, 70000903, 70001030, 70001031, 70001482, 70001483, 70001831, 70001832,
        70002155, 70002658, 70002659,
        // Page bands below a title whose subreport filled the page.
        70001092, 70001212,
        // Group footers after records left out for want of details; a second report page over the first
        // one's page footer; records taller than a column kept with their child.
        441, 442, 503, 635, 742, 924, 1033, 1034, 1035, 1080, 1081, 1299, 1335, 1336, 1361, 1362, 1523, 1527, 1619,
        1742, 1743, 1867, 1868, 1929, 1987, 1988, 2006, 2123, 2124, 2167, 2527, 2528, 2634, 2637, 2656, 2659,
        2999, 93003090, 93003375, 93004756, 93006871, 93014860,
        // Bands over others, below or above the page and read out of order: a
        // nested or side-by-side subreport's host, headers repeated over split
        // records, a record kept with the footer moved out of its column.
        2007738, 91000542, 91003151, 91003171, 91003172, 91003683, 91007702, 91009180, 91009182, 91009282,
        91011833, 91012620, 91012621, 91013636, 91013880, 91013881, 91015621, 91015718, 91015910, 91017713, 91018378,
        91018625, 91018846, 91019036, 91023058, 91023059, 91026307, 91026332, 91026431, 91029666, 91029667, 91033616,
        91034121, 91035526, 91035745, 91035923, 91036529, 91036624, 91038067, 91038747, 91041553, 91041554, 91041875,
        91043358, 91043359, 91045288, 91045289, 91045775, 91048703, 91050963, 91056402, 91060152, 91060276, 91060277,
        91062341, 91063727, 91064236, 91064237, 91064536, 91064537, 91066042, 91067162, 91068371, 91069809, 91070074,
        91071233, 91074645, 91075657, 91076913, 91076969, 91076970, 91077340, 91079159, 91080268, 91080508, 91080509,
        91080663, 91080671, 91080672, 91081105, 91084451, 91084955, 91087697, 91087963, 91087964, 91087993, 91088794,
        91090667, 91090970, 91092934, 91093063, 91095345, 91099388, 91099393, 91100236, 91100973, 91101420,
        91101421, 91102336, 91102644, 91103092, 91103719, 91105973, 91107770, 91108359, 91108537, 91110834, 91111997,
        91111998, 91112733, 91113368, 91114838, 91116190, 91122795, 91123676, 91123949, 91130511, 91131643, 91131644,
        91131742, 91133321, 91134840, 91136516, 91137008, 91137451, 91138605, 91138606, 91139793, 91140884, 91144408,
        91147077, 91148020, 91149007, 91149008, 91154362, 91158096, 91158097, 91159986, 91160705, 91165612, 91166498,
        91166650, 91169706, 91170227, 91170346, 91170347, 91170348, 91172361, 91172362, 91173192, 91173193, 91173984,
        91174540, 91174943, 91178726, 91178856, 91179110, 91179168, 91179169, 91179170, 91179563, 91179598, 91179618,
        91180360, 91181302, 91184767, 91187000, 91187001, 91189350, 91189699, 91196929, 91196930, 91198283, 91198782,
        91198783, 91199755, 91200329, 91203073, 91203631, 91205816, 91205962, 91206968, 91206969, 91208450,
        91209137, 91209138, 91211394, 91211395, 91212604, 91216313, 91216401, 91216478, 91216479, 91218334, 91221030,
        91223221, 91223245, 91223340, 91223730, 91228409, 91235889, 91237066, 91237530, 91237763, 91239159, 91239160,
        91240008, 91240934, 91242068, 91243396, 91243908, 91247152, 91248055, 91249187, 91251403, 91251618, 91251801,
        91252304, 91252369, 91252370, 91252724, 91254772, 91260494, 91260549, 91261626, 91262966, 91266782, 91269369,
        91269822, 91270836, 91274889, 91275276, 91282002, 91283334, 91287934, 91290979, 91291001, 91291002, 91292916,
        91292917, 91293068, 91297653, 91297661, 91297662, 91298182, 91298738,
        // A reprinted group header that may split ran its subreport again.
        91001614, 91002553, 91002554, 91002555, 91002556, 91007057, 91007480, 91007481, 91007482, 91011197, 91013733,
        91014333, 91014334, 91016114, 91017002, 91017003, 91017004, 91017648, 91017649, 91018946, 91018947, 91024302,
        91024303, 91025042, 91025043, 91026511, 91026512, 91027408, 91032341, 91032342, 91032343, 91032344, 91032974,
        91033135, 91035162, 91035163, 91036648, 91036649, 91037609, 91037632, 91041241, 91049672, 91052956, 91054596,
        91056423, 91056424, 91062011, 91065751, 91066839, 91066840, 91067746, 91067835, 91067836, 91070493, 91070820,
        91070821, 91072051, 91074854, 91074855, 91074856, 91074857, 91076041, 91076319, 91076469, 91076470, 91077398,
        91082311, 91083248, 91086145, 91086146, 91087370, 91087371, 91088190, 91088485, 91090430, 91090431, 91090650,
        91090651, 91091048, 91095771, 91095853, 91095854, 91098481, 91099500, 91103479, 91103480, 91103557, 91103558,
        91103622, 91104041, 91105379, 91105380, 91110018, 91111260, 91114952, 91114953, 91118572, 91118573, 91119321,
        91119612, 91119613, 91124093, 91127199, 91127200, 91127253, 91127254, 91127286, 91127287, 91132562, 91135390,
        91135391, 91136241, 91136242, 91138547, 91138548, 91138549, 91139190, 91141355, 91141356, 91143366, 91146654,
        91147088, 91148323, 91148324, 91148689, 91148934, 91157778, 91157779, 91157896, 91157898, 91160524, 91160688,
        91162059, 91167371, 91167975, 91167976, 91172319, 91172389, 91172390, 91181531, 91181532, 91182134, 91185016,
        91186150, 91186151, 91187237, 91187589, 91188654, 91188879, 91190547, 91192276, 91192277, 91193435, 91193522,
        91194767, 91195237, 91195238, 91196560, 91196561, 91197572, 91200258, 91200259, 91206154, 91207529, 91207530,
        91208598, 91214734, 91214735, 91215483, 91220923, 91225420, 91228510, 91233412, 91233413, 91236107, 91236467,
        91237408, 91237409, 91238451, 91238452, 91238632, 91238633, 91241400, 91241401, 91242380, 91242838, 91243244,
        91245027, 91245028, 91245162, 91245163, 91246443, 91247405, 91247406, 91249178, 91251546, 91251547, 91252180,
        91256306, 91259394, 91259395, 91259396, 91259397, 91260916, 91261343, 91261344, 91261345, 91264869, 91264870,
        91265026, 91265027, 91270666, 91271258, 91271259, 91271336, 91272419, 91272420, 91272628, 91274459, 91278352,
        91278353, 91283352, 91285399, 91285466, 91287810, 91290388, 91290663, 91290664, 91290665, 91292961, 91296157,
        91298370, 91299004, 91299005,
        // Side-by-side subreports that ran into a page column the first of them
        // began printed its headers there again.
        91001092, 91001093, 91002248, 91007670, 91007671, 91007701, 91008420, 91008479, 91009908, 91010650, 91011937,
        91012525, 91012855, 91012856, 91012906, 91014086, 91014721, 91015172, 91015178, 91015179, 91017435, 91017436,
        91017653, 91017793, 91017794, 91018016, 91018259, 91018899, 91020214, 91020549, 91024297, 91024633, 91024898,
        91026074, 91026075, 91026076, 91027262, 91027956, 91027957, 91029062, 91029421, 91029422, 91029531, 91029532,
        91029936, 91030013, 91030245, 91031415, 91031822, 91038684, 91038721, 91040619, 91040620, 91040637, 91040902,
        91042092, 91042093, 91045543, 91045883, 91045884, 91046730, 91046911, 91047022, 91048653, 91048988, 91053680,
        91053681, 91055914, 91055915, 91057153, 91057213, 91057448, 91057449, 91059213, 91059369, 91061321, 91061322,
        91061498, 91062447, 91063601, 91063602, 91063886, 91064026, 91064400, 91064401, 91065128, 91065601, 91067167,
        91070854, 91071234, 91071946, 91074935, 91075110, 91075471, 91075735, 91076643, 91076897, 91077418, 91078855,
        91079178, 91079548, 91080517, 91080518, 91082465, 91082466, 91082728, 91082770, 91082771, 91083104, 91083105,
        91085965, 91086129, 91086341, 91086921, 91087057, 91087696, 91089495, 91089934, 91094955, 91095535, 91097153,
        91098661, 91100925, 91101081, 91101837, 91102071, 91104121, 91104652, 91105625, 91108484, 91109366, 91110405,
        91110833, 91113940, 91114534, 91115702, 91116895, 91117013, 91118021, 91119946, 91120113, 91120241, 91120406,
        91120588, 91120589, 91122520, 91122521, 91123965, 91125173, 91125174, 91126375, 91127002, 91128542, 91128543,
        91128692, 91128693, 91129159, 91129396, 91129564, 91129565, 91130860, 91130899, 91131741, 91132217, 91132805,
        91132806, 91133316, 91133576, 91133577, 91133826, 91134099, 91134100, 91135381, 91136612, 91138394, 91138683,
        91138911, 91139061, 91140734, 91142521, 91142769, 91145470, 91145651, 91147664, 91147737, 91147738, 91148714,
        91148715, 91149201, 91149203, 91150850, 91151957, 91151958, 91155768, 91156762, 91156763, 91157765, 91158735,
        91158936, 91159687, 91159688, 91161450, 91161451, 91166425, 91169214, 91169216, 91169217, 91169376, 91170179,
        91172100, 91173974, 91174371, 91174514, 91174515, 91175141, 91177882, 91178138, 91178203, 91178204, 91178458,
        91179429, 91179430, 91180310, 91181748, 91181989, 91182504, 91182684, 91183588, 91183669, 91185358, 91186406,
        91186726, 91188722, 91188761, 91189179, 91189180, 91189912, 91191071, 91191080, 91192031, 91192638, 91193170,
        91194982, 91195486, 91195490, 91197245, 91197303, 91197304, 91197387, 91197780, 91198946, 91199028, 91200811,
        91203610, 91207195, 91207196, 91208349, 91208918, 91208919, 91209360, 91210985, 91211621, 91211717, 91211751,
        91211903, 91212414, 91212415, 91213530, 91213663, 91214685, 91216003, 91218416, 91218417, 91219921, 91220197,
        91220944, 91220955, 91221273, 91221276, 91223223, 91223858, 91224251, 91226303, 91229275, 91229276, 91231046,
        91231047, 91231780, 91232226, 91232515, 91233333, 91234215, 91235299, 91236378, 91236536, 91236710, 91236857,
        91236858, 91238779, 91238780, 91239381, 91239595, 91243137, 91243138, 91243619, 91243634, 91246575, 91246622,
        91246623, 91247873, 91247906, 91248630, 91249718, 91249739, 91250231, 91250823, 91250837, 91250838, 91253225,
        91254196, 91255183, 91255184, 91255188, 91258191, 91259807, 91259808, 91261158, 91261298, 91261434, 91262733,
        91262870, 91264527, 91265019, 91266349, 91266539, 91267702, 91267703, 91268242, 91268305, 91270396, 91272653,
        91272654, 91273114, 91273115, 91274141, 91274220, 91275889, 91275890, 91275976, 91276553, 91277146, 91278762,
        91278763, 91279240, 91279241, 91279554, 91280253, 91281394, 91281395, 91283899, 91283900, 91284313, 91284314,
        91285883, 91286846, 91287360, 91288966, 91289509, 91291482, 91292367, 91293624, 91293969, 91293972, 91294994,
        91294995, 91296937, 91297252, 91298932, 91299772,
        // A kept group spread side by side over columns was pasted again
        // column by column on a new page.
        96001840, 96061703, 96061704, 96073333, 96121676,
        // A kept block laid out again over a new page's columns ran off its
        // foot once they were full.
        96051120, 96220635, 96280059, 95005019, 96072095, 96282755, 96282756,
        // Records below a title's subreport, split bands under reprinted headers, side-by-side subreports.
        1810, 3855, 4363, 100844, 1002145, 2010208, 2010209, 3009785, 5003507, 30042562, 91089586, 91202261,
        93000696, 93001927, 93001928, 93006328, 93010526, 93010623,
        // Kept blocks begun below their column's headers, moved when a later column's header broke the page.
        96078714, 96150443, 96200359, 96200360,
        // A record beside one whose child bands went on to a new page when its kept block moved.
        93008965};

}  // namespace

// Several hundred templates from fixed seeds: every one prints each record
// once, in order, inside its page, with nothing over anything.
TEST_F(PropertyTest, GeneratedTemplatesKeepEveryRule)
{
    std::vector<uint64_t> seeds;
    // Sanitized builds run several times slower: every fifth seed there.
    for (uint64_t s = 1; s <= 400; s += kSanitized ? 5 : 1) seeds.push_back(s);
    seeds.insert(seeds.end(), std::begin(kFoundSeeds), std::end(kFoundSeeds));
    Watchdog watchdog(std::chrono::seconds(60));
    for (uint64_t seed : seeds) {
        lyrprop::SeedSource src(seed);
        const lyrprop::Plan plan = lyrprop::generate(src, seed, false);
        watchdog.start(seed);
        const std::vector<lyrprop::Failure> f = lyrprop::runPlan(plan);
        EXPECT_TRUE(f.empty()) << failures(plan, f).toStdString();
    }
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
    const lyrprop::Plan plain = lyrprop::generate(none);
    EXPECT_EQ(plain.Records, 0);
    EXPECT_TRUE(lyrprop::runPlan(plain).empty());
}

// Reduced templates of faults the generated templates found, each kept as
// it was reduced (lyrprop writes these lines beside the template files).
TEST_F(PropertyTest, ReducedTemplatesOfFoundFaultsKeepEveryRule)
{
    const char *cases[] = {
            // A kept group header too tall for a page below the repeated data
            // header left a page holding only that header.
            "paper 113x171 margin 0 pagecols 1 records 8 mastercols 1 height 16 pageheader colheader colfooter "
            "summary header reprint line subpop popstretch hidesingle script 1 overlay 1 sub 4/32 detail 0 words 0 "
            "groups [{size 1 keep reprint footer}]",
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
            // A kept master and child moved by its subreport's page break were pasted at the subreport's place.
            "paper 116x171 margin 0 pagecols 1 records 7 mastercols 1 height 16 pagefooter header child keepchild "
            "overlay 0 sub 2/4 detail 0 words 0 groups []",
            // A record of a two-column list that a new page put in the first column had its child in the second.
            "paper 174x198 margin 0 pagecols 1 records 3 mastercols 2 height 16 title newpage child overlay 0 sub 0/0 "
            "detail 0 words 0 groups []",
            // A kept group that moved along filled the new column and the record after it ran off the page.
            "paper 202x91.1999507875 margin 5 pagecols 3 records 14 mastercols 1 height 40 pageheader header reprint "
            "overlay 0 sub 0/0 detail 0 words 0 groups [{size 9 keep footer} {size 3}]",
            // A repeated header that did not fit on its first page printed twice on the next.
            "paper 170x19.9 margin 0 pagecols 1 records 2 mastercols 1 height 16 title pageheader colheader header "
            "reprint overlay 0 sub 0/0 detail 0 words 0 groups []",
            // A split band of which nothing fitted began on the next page with the page number before.
            "paper 182x141 margin 5 pagecols 3 records 13 mastercols 1 height 16 title pagefooter split overlay 0 "
            "sub 0/0 detail 0 words 24 groups []",
            // A title's subreport under the page header went on in the next column over that header.
            "paper 147x118 margin 4 pagecols 2 records 0 mastercols 1 height 16 title title-after pageheader overlay 0 "
            "sub 1/22 detail 0 words 0 groups []",
            // The child of a record in a list's second column, broken into the next page column after a kept
            // group moved along, left the bands below it short of that record's place in its row.
            "paper 159x93.1999507875 margin 6 pagecols 2 records 9 mastercols 2 height 40 pageheader colheader "
            "colfooter header reprint newpage child overlay 0 sub 0/0 detail 0 words 0 groups [{size 5 keep} {size 2 "
            "footer}]",
            // A kept group moved by its last record's subreport left that record's bottom behind: the column
            // footer of the new page sat on the record.
            "paper 100x68.5 margin 0 pagecols 1 records 10 mastercols 1 height 32 pageheader pagefooter colfooter "
            "split child overlay 0 sub 2/1 detail 0 words 0 groups [{size 6 reprint newpage} {size 6 keep}]",
            // A kept group moved with the first record of an open row: the next record went below the row, off
            // the page, not beside it.
            "paper 104x176.449889272 margin 0 pagecols 3 records 6 mastercols 3 height 16 pageheader colheader "
            "colfooter newpage overlay 0 sub 0/0 detail 0 words 9 groups [{size 9 reprint} {size 3 keep}]",
            // A kept group pasted across columns put the record beside one whose child went on in the next
            // column above that column's top.
            "paper 197x89.0832854879 margin 5 pagecols 3 records 13 mastercols 2 height 32 pagefooter colheader "
            "child overlay 0 sub 0/0 detail 0 words 0 groups [{size 7 keep footer} {size 2}]",
            // A record kept with its child, moved by the child, showed the page before.
            "paper 120x93.4332813868 margin 4 pagecols 1 records 4 mastercols 1 height 32 pageheader colheader "
            "child keepchild overlay 0 sub 2/0 detail 2 words 0 groups []",
            // A kept group moved by a subreport's break showed the page before.
            "paper 134x136 margin 3 pagecols 3 records 13 mastercols 1 height 16 title header reprint footer "
            "overlay 0 sub 2/0 detail 2 words 0 groups [{size 2 footer} {size 5 keep}]",
            // A title's subreport filled the page: the column header went below it, the column footer over the
            // page footer.
            "paper 187x85.0832854879 margin 3 pagecols 1 records 14 mastercols 1 height 16 title colheader summary "
            "header keep child keepchild overlay 0 sub 1/16 detail 1 words 0 groups [{size 6}]",
            "paper 186x173 margin 9 pagecols 1 records 23 mastercols 1 height 32 title pageheader pagefooter "
            "colfooter header reprint overlay 0 sub 1/30 detail 3 words 0 groups []",
            // A group footer after a record left out for want of details showed that record's group.
            "paper 134x136 margin 0 pagecols 1 records 2 mastercols 1 height 16 dset overlay 0 sub 0/0 detail 1 "
            "words 0 groups [{size 1 footer}]",
            // A second report page going on below the first one's output ran over that page's footer.
            "paper 105x87.1999507875 margin 0 pagecols 1 records 0 mastercols 1 height 16 pagefooter page2 "
            "onprevious records2 16 overlay 0 sub 0/0 detail 0 words 0 groups []",
            // A record taller than a column, kept with its child, left columns holding only the header.
            "paper 94x109.422154783 margin 0 pagecols 2 records 2 mastercols 1 height 16 header reprint child "
            "keepchild tall 2 overlay 0 sub 0/0 detail 0 words 0 groups []",
            // A side-by-side subreport ran from its band's old place after its kept block moved; a record
            // ran off the page below a reprinted split header; a kept footer's record left its column.
            "paper 94x117 margin 0 pagecols 1 records 3 mastercols 1 height 24 pageheader pagefooter footer child "
            "keepchild subside gsplit dheader swords 14 overlay 0 sub 5/3 detail 1 words 0 groups [{size 5} {size "
            "3}]",
            "paper 206x87.1999507875 margin 0 pagecols 2 records 1 mastercols 1 height 16 pageheader line overlay "
            "0 sub 2/0 detail 0 words 58 groups [{size 1 reprint}]",
            "paper 100x107.424936434 margin 2 pagecols 2 records 1 mastercols 1 height 16 pageheader gsplit "
            "swords 76 overlay 0 sub 0/0 detail 0 words 9 groups [{size 1 reprint}]",
            "paper 132x103.783277286 margin 6 pagecols 3 records 4 mastercols 1 height 32 pageheader pagefooter "
            "colfooter child keepchild gsplit swords 73 overlay 0 sub 0/0 detail 0 words 0 groups [{size 4 "
            "reprint}]",
            "paper 128x123 margin 0 pagecols 1 records 22 mastercols 1 height 16 pagefooter footer subside "
            "keepfooter gsplit swords 22 overlay 0 sub 6/2 detail 0 words 12 groups [{size 8} {size 2 footer}]",
            "paper 148x135.652703731 margin 0 pagecols 3 records 12 mastercols 1 height 16 gsplit swords 49 "
            "overlay 0 sub 0/0 detail 3 words 11 groups [{size 9 reprint footer} {size 3 keep footer}]",
            // Below a title's subreport no column had room for a record, which ran over the page footer.
            "paper 152x119.424936434 margin 8 pagecols 3 records 1 mastercols 2 height 16 title pageheader pagefooter "
            "colheader line overlay 0 sub 1/14 detail 0 words 5 groups []",
            // Found by the long run of the grown generator: columns left with headers only, side-by-side and
            // nested subreports over other bands, split group and child bands under reprinted headers.
            "paper 129x107.456188997 margin 4 pagecols 2 records 0 mastercols 1 height 16 title pagefooter "
            "colheader subside overlay 0 sub 1/20 detail 0 words 0 groups []",
            "paper 145x119 margin 0 pagecols 2 records 4 mastercols 1 height 40 title colheader gsplit swords 11 "
            "overlay 0 sub 4/1 detail 0 words 0 groups [{size 2 reprint footer}]",
            "paper 189x91.7832772858 margin 0 pagecols 2 records 0 mastercols 1 height 16 title pageheader "
            "subnested swords 1 overlay 0 sub 1/7 detail 0 words 0 groups []",
            "paper 149x118 margin 8 pagecols 1 records 5 mastercols 1 height 16 pagefooter subside pfnotfirst "
            "overlay 0 sub 2/4 detail 0 words 0 groups []",
            "paper 141x104.371239869 margin 6 pagecols 1 records 0 mastercols 1 height 16 title pagefooter "
            "colfooter subside pfnotfirst overlay 0 sub 1/18 detail 0 words 0 groups []",
            "paper 90x108.133273185 margin 5 pagecols 3 records 9 mastercols 1 height 16 pageheader pagefooter "
            "colheader colfooter gsplit swords 64 overlay 0 sub 0/0 detail 0 words 1 groups [{size 4 footer}]",
            "paper 161x136 margin 0 pagecols 2 records 0 mastercols 1 height 16 title pagefooter colheader "
            "subside overlay 0 sub 1/28 detail 0 words 0 groups []",
            "paper 98x103.666611986 margin 7 pagecols 2 records 1 mastercols 1 height 16 gsplit swords 19 overlay "
            "0 sub 4/1 detail 0 words 0 groups [{size 1 reprint footer}]",
            // A group header that starts a new page and grows with the rows of
            // its print-on-parent subreport left a page holding only the data
            // header repeated above it.
            "paper 174x84.8499548886 margin 5 pagecols 1 records 2 mastercols 1 height 16 pagefooter header reprint "
            "subpop overlay 0 sub 4/14 detail 0 words 0 groups [{size 1 newpage}]",
            // A kept group pasted over a new page's columns ran on to the next
            // page: its last record counted on the page before.
            "paper 150x89.6666119861 margin 0 pagecols 2 records 11 mastercols 2 height 24 title pageheader "
            "pagefooter colheader colfooter header reprint gsplit pftotals swords 72 overlay 0 sub 0/0 detail 0 "
            "words 0 groups [{size 6 keep reprint footer}]",
            // A record kept with its child stayed in its column because the
            // next one repeats a group header that may split: shown whole
            // before, that header takes no more room there.
            "paper 145x95.3166160872 margin 6 pagecols 2 records 3 mastercols 1 height 40 title child keepchild "
            "gsplit tsplit overlay 0 sub 0/0 detail 0 words 0 groups [{size 2 reprint} {size 2}]",
            "paper 164x101 margin 0 pagecols 2 records 3 mastercols 1 height 16 title colheader footer child "
            "keepchild gsplit csplit childhidden dset dgroup ifdetailempty chain 1 swords 1 tall 12 overlay 0 sub 0/0 "
            "detail 1 words 0 groups [{size 2 reprint}]",
            // A kept group of a multi-column band pasted over a new page's
            // columns: the child of a row's record went on in the next column,
            // and the record beside it went back into the row after that
            // row's column footer had printed its totals, counting in the next.
            "paper 183x93.0832854879 margin 7 pagecols 3 records 17 mastercols 3 height 32 pageheader colfooter child "
            "cftotals overlay 0 sub 0/0 detail 0 words 0 groups [{size 10 keep footer} {size 3 footer}]",
            "paper 154x93.8999425855 margin 0 pagecols 2 records 15 mastercols 2 height 40 pageheader pagefooter "
            "colheader colfooter header reprint child gsplit cftotals overlay 0 sub 0/0 detail 0 words 0 groups "
            "[{size 10 keep footer} {size 2 keep reprint}]",
            // A kept group moved to a new page by a record starting one beside
            // its open row: the row's first record's child reaches below where
            // the record beside it starts, and ran under the column footer.
            "paper 97x162.816575077 margin 8 pagecols 3 records 4 mastercols 2 height 16 pagefooter colheader "
            "colfooter newpage child gsplit swords 49 overlay 0 sub 0/0 detail 0 words 5 groups [{size 2 reprint} "
            "{size 2 keep}]",
            // A kept record and child moved to the next column below a group
            // header that may split and was split when first shown: shown
            // again whole, it takes the height it was prepared with.
            "paper 133x107.549946686 margin 10 pagecols 3 records 26 mastercols 1 height 16 pageheader colheader "
            "colfooter child keepchild subpop gsplit swords 15 overlay 0 sub 2/0 detail 0 words 0 groups [{size 9 "
            "reprint}]",
            // One whose subreport's rows made it split: shown again, it prints
            // none of them and takes only its own height.
            "paper 183x100.195778311 margin 5 pagecols 2 records 2 mastercols 1 height 16 title pageheader colheader "
            "header reprint subpop gsplit overlay 0 sub 4/37 detail 0 words 1 groups [{size 2 reprint} {size 1 keep "
            "footer}]",
            "paper 147x166.933322397 margin 0 pagecols 2 records 12 mastercols 1 height 16 pageheader footer child "
            "keepchild subpop gsplit childhidden dset chain 2 subdetail 2 overlay 0 sub 4/48 detail 2 words 0 groups "
            "[{size 2 reprint footer} {size 2 reprint footer}]",
            // A footer holding its subreport's rows, a little taller than a
            // page, split: its last row, cut at the page's foot, needed less
            // than its measured height, so the paper shows less than a page.
            "paper 173x182 margin 0 pagecols 1 records 11 mastercols 1 height 16 pageheader pagefooter header reprint "
            "footer child subpop gsplit dset dgroup swords 6 records2 3 script 1 overlay 0 sub 6/36 detail 2 words 1 "
            "groups [{size 12 reprint}]",
            // A kept record and child a little taller than a column, the record
            // split: its parts show less than it was measured with.
            "paper 138x91.7832772858 margin 0 pagecols 2 records 19 mastercols 1 height 16 colheader header reprint "
            "split child keepchild tall 9 overlay 0 sub 0/0 detail 0 words 84 groups []",
            // A kept group moved to a column's top ran over columns there and
            // moved on to a new page, whose columns its parts filled: the
            // data header and the group header repeated there were left out.
            "paper 128x99.1916058346 margin 0 pagecols 3 records 5 mastercols 1 height 40 pageheader pagefooter header "
            "reprint child phnotfirst chain 1 tall 5 overlay 0 sub 0/0 detail 0 words 0 groups [{size 3 keep reprint}]",
            "paper 164x127 margin 2 pagecols 3 records 10 mastercols 1 height 16 pageheader colheader header split child "
            "phnotfirst tall 10 overlay 0 sub 0/0 detail 0 words 0 groups [{size 6 keep footer} {size 2 reprint footer}]",
            // A split record's last part, shorter than a line, went on in the
            // next column without the header shown again, though both fit.
            "paper 91x117 margin 8 pagecols 2 records 1 mastercols 1 height 16 title pagefooter header reprint hidden "
            "split tall 8 overlay 0 sub 1/18 detail 0 words 0 groups []",
            // The rows of a record's subreport in its child band make its
            // kept block taller than an empty column.
            "paper 181x131.538820083 margin 10 pagecols 3 records 2 mastercols 1 height 16 title pageheader child "
            "keepchild subnested csplit chain 1 swords 54 overlay 0 sub 5/2 detail 0 words 7 groups [{size 1}]",
            // Cross-tabs of some hundred pages in width: checking each page
            // footer's totals read every band again for each band.
            "paper 145x190 margin 0 pagecols 1 records 60 mastercols 1 height 32 pagefooter colheader colfooter header "
            "reprint footer newpage cftotals cross 20/84 xgroups 3 overlay 1 sub 0/0 detail 0 words 0 groups []",
            "paper 109x143.483269084 margin 2 pagecols 1 records 81 mastercols 1 height 40 pageheader pagefooter header "
            "child csplit reset2 header2 tnewpage aggs plaintext swords 68 records2 11 cross 14/74 xgroups 1 overlay 1 "
            "sub 0/0 detail 0 words 0 groups []",
            "paper 106x160.416591481 margin 0 pagecols 1 records 72 mastercols 1 height 24 pagefooter summary header "
            "reprint child footereach csplit pftotals plaintext pageexpr chain 1 swords 8 cross 20/53 xgroups 2 "
            "overlay 0 sub 0/0 detail 0 words 0 groups [{size 1 newpage}]",
            // The footer after a hidden last record of a kept group, moved
            // with its group, was taken for the record printed before it.
            "paper 126x138 margin 0 pagecols 1 records 8 mastercols 1 height 16 footer footereach hiderec 2 overlay 0 "
            "sub 0/0 detail 0 words 0 groups [{size 1} {size 1 keep}]",
            "paper 184x154 margin 0 pagecols 1 records 6 mastercols 1 height 40 footer footereach gsplit hiderec 3 "
            "hideband 2 overlay 0 sub 0/0 detail 0 words 0 groups [{size 1 keep footer}]",
            // A footer taller than any column split; the page footer a script
            // hid on its last part's page was taken to leave that room free.
            "paper 209x171 margin 0 pagecols 1 records 1 mastercols 1 height 16 pagefooter colfooter footer subpop "
            "hideband 8 overlay 0 sub 6/34 detail 0 words 0 groups []",
            // Labels: a record hidden by script in a row's last place closed
            // the row and left its column there, so the next label shown
            // began a row in the last column, beside or over what followed.
            "paper 112x127.416591481 margin 0 pagecols 2 records 11 mastercols 3 height 16 pageheader pagefooter "
            "colheader colfooter header hiderec 4 overlay 0 sub 0/0 detail 0 words 4 groups [{size 3}]",
            "paper 94x265.374948737 margin 0 pagecols 2 records 44 mastercols 2 height 40 header keep labels hiderec 4 "
            "overlay 0 sub 0/0 detail 0 words 0 groups []",
            "paper 160x182 margin 6 pagecols 1 records 42 mastercols 2 height 32 title colfooter hiderec 4 overlay 0 "
            "sub 0/0 detail 0 words 0 groups []",
            "paper 208x124 margin 0 pagecols 1 records 42 mastercols 2 height 16 pagefooter colfooter header gsplit "
            "cftotals aggs hiderec 2 overlay 0 sub 0/0 detail 0 words 0 groups [{size 8}]",
            "paper 103x177.916632491 margin 0 pagecols 1 records 60 mastercols 2 height 32 pageheader pagefooter "
            "colheader colfooter header labels hiderec 3 overlay 0 sub 0/0 detail 0 words 0 groups [{size 4}]",
            "paper 171x156.583244477 margin 7 pagecols 3 records 15 mastercols 2 height 16 header child labels "
            "hiderec 4 overlay 0 sub 0/0 detail 0 words 0 groups [{size 3 footer}]",
            // A later label of a row, taller than those before it, did not fit:
            // its child band broke the column, leaving the label over the
            // column footer instead of moving the row whole.
            "paper 204x168.955493584 margin 9 pagecols 2 records 19 mastercols 4 height 16 pagefooter colfooter "
            "header child labels overlay 0 sub 0/0 detail 0 words 4 groups []",
            "paper 129x173.041560723 margin 2 pagecols 3 records 39 mastercols 2 height 16 pagefooter colfooter child "
            "labels overlay 0 sub 0/0 detail 0 words 0 groups []",
            // A row of kept labels that did not fit stayed where it was, below
            // the page: the last label's own keep block held it.
            "paper 94x265.374948737 margin 0 pagecols 2 records 55 mastercols 2 height 40 title pageheader header keep "
            "labels hiderec 4 overlay 0 sub 0/0 detail 0 words 0 groups []",
            // A child that starts a new page, hidden by its script, broke the
            // page as the last record left it visible: a child below others,
            // pages holding only headers, a group header without its records,
            // one more page counted than printed, a logical page not reset.
            "paper 201x135.249938484 margin 0 pagecols 1 records 4 mastercols 1 height 16 child cnewpage hideband 16 "
            "overlay 0 sub 0/0 detail 0 words 0 groups []",
            "paper 128x130.534320405 margin 0 pagecols 1 records 2 mastercols 1 height 16 twopass pagefooter child "
            "cnewpage hideband 16 overlay 0 sub 0/0 detail 0 words 0 groups []",
            "paper 163x187 margin 0 pagecols 1 records 3 mastercols 1 height 16 child cnewpage hideband 16 overlay 0 "
            "sub 0/0 detail 0 words 0 groups [{size 1 reprint newpage}]",
            "paper 131x186 margin 0 pagecols 1 records 3 mastercols 1 height 16 newpage child cnewpage hideband 16 "
            "overlay 0 sub 0/0 detail 0 words 0 groups [{size 3 reprint}]",
            "paper 152x195 margin 0 pagecols 1 records 3 mastercols 1 height 16 header reprint newpage child cnewpage "
            "hideband 16 overlay 0 sub 0/0 detail 0 words 0 groups []",
            "paper 181x234.916632491 margin 0 pagecols 1 records 2 mastercols 1 height 16 twopass child page2 reset2 "
            "cnewpage records2 1 hideband 16 overlay 0 sub 0/0 detail 0 words 0 groups []",
            // A kept group whose children were hidden until one broke the page
            // moved whole with it (the checker took its earlier records for
            // others above the child).
            "paper 201x171.933322397 margin 0 pagecols 1 records 4 mastercols 1 height 16 child cnewpage hideband 16 "
            "overlay 0 sub 0/0 detail 0 words 0 groups [{size 2 keep}]",
            "paper 125x210 margin 0 pagecols 1 records 4 mastercols 1 height 16 child cnewpage hideband 16 overlay 0 "
            "sub 0/0 detail 0 words 0 groups [{size 2 keep} {size 1 footer}]",
            // A record in the second or third place of its row, kept with its
            // child that breaks the page, moved along: the child went to the
            // row's first place, not under its record.
            "paper 172x158 margin 0 pagecols 1 records 8 mastercols 2 height 16 child keepchild cnewpage hideband 16 "
            "overlay 0 sub 0/0 detail 0 words 0 groups [{size 3}]",
            "paper 181x234.916632491 margin 0 pagecols 1 records 4 mastercols 3 height 16 keep child cnewpage "
            "hideband 16 overlay 0 sub 0/0 detail 0 words 0 groups []",
            // An inner group header that starts a new page, over a group whose
            // only record a script hides, with the outer header repeated above
            // it: the checker took the outer one for a header of no record.
            "paper 185x127.258283437 margin 0 pagecols 1 records 6 mastercols 1 height 16 hiderec 3 overlay 0 sub 0/0 "
            "detail 0 words 0 groups [{size 2 reprint} {size 1 newpage}]",
            // A label beside a row its group's keep block took to a new page:
            // its child band lost the row's moved bottom (footer over a child).
            "paper 105x234.916632491 margin 0 pagecols 2 records 4 mastercols 2 height 16 footer newpage child labels "
            "overlay 0 sub 0/0 detail 0 words 0 groups [{size 2 keep}]",
            // A label's child band that starts a new page took its keep block
            // and row along: the row lost its lowest label (footer over it).
            "paper 200x219.916632491 margin 0 pagecols 2 records 21 mastercols 4 height 16 colfooter child cnewpage "
            "labels hideband 16 overlay 0 sub 0/0 detail 0 words 0 groups [{size 3 keep}]",
            // A child that starts a new page took its kept group along, with
            // the footer printed after the group's hidden first record: the
            // checker took that footer for the record before the group's.
            "paper 95x243.374948737 margin 0 pagecols 1 records 10 mastercols 1 height 16 footer child footereach "
            "cnewpage hiderec 4 overlay 0 sub 0/0 detail 0 words 0 groups [{size 2 keep}]",
            // A full label row below the page column's foot, in a kept group
            // begun above it: it printed over the page footer.
            "paper 100x349.158144002 margin 8 pagecols 2 records 47 mastercols 2 height 16 pagefooter pftotals labels "
            "aggs hiderec 4 overlay 0 sub 0/0 detail 0 words 8 groups [{size 10 keep footer}]",
            // A kept group's last row of labels, not full, reached past the
            // page with a label beside its first: the block moved without the
            // row's height (group footer over that label).
            "paper 133x239.916632491 margin 0 pagecols 1 records 39 mastercols 4 height 16 pagefooter "
            "colheader colfooter header labels overlay 0 sub 0/0 detail 0 words 0 groups [{size 4 keep "
            "footer}]",
            // A kept footer moved to a new page with a group footer below a
            // last record hidden by its script: the closed group's header
            // was repeated above footers holding none of its records.
            "paper 102x150.601325209 margin 6 pagecols 1 records 196 mastercols 1 height 40 colfooter header "
            "reprint footer child keepfooter csplit aggs chain 1 tall 3 hiderec 5 hideband 2 overlay 0 sub "
            "0/0 detail 0 words 1 groups [{size 12 reprint footer}]",
            // A kept group ending in a row of labels (or records with child
            // bands) that reaches past its page column's foot stayed there:
            // the block never moved to the next column (row over the column
            // footer, or its child below the page).
            "paper 156x266.374948737 margin 9 pagecols 2 records 23 mastercols 3 height 16 title pagefooter "
            "colheader colfooter labels overlay 0 sub 0/0 detail 0 words 0 groups [{size 3 keep} {size 3 "
            "footer}]",
            "paper 106x126.783277286 margin 0 pagecols 2 records 21 mastercols 3 height 32 colheader "
            "colfooter header child hideband 16 overlay 0 sub 0/0 detail 0 words 0 groups [{size 8 keep}]",
            "paper 170x205.374948737 margin 0 pagecols 2 records 23 mastercols 4 height 16 title colheader "
            "child childhidden labels chain 1 script 2 overlay 0 sub 1/3 detail 0 words 0 groups [{size 3 "
            "keep}]",
            // A label's child band that may split, too tall for its column
            // beside others of its row, printed whole below the page.
            "paper 144x245.374948737 margin 10 pagecols 2 records 4 mastercols 3 height 16 child csplit swords 62 "
            "hideband 16 overlay 0 sub 0/0 detail 0 words 0 groups []",
            // Its short first child reached past the column's foot, the
            // tall one after it could not go with the row (over the footer).
            "paper 144x245.374948737 margin 10 pagecols 2 records 8 mastercols 3 height 16 pageheader pagefooter "
            "colheader colfooter child csplit pftotals cftotals labels aggs chain 2 swords 62 hideband 16 overlay 0 "
            "sub 0/0 detail 0 words 0 groups []",
            // A kept label whose split child took its block to a new page
            // left the column footer over the label beside it.
            "paper 98x254.024870817 margin 7 pagecols 3 records 17 mastercols 3 height 16 pageheader colfooter "
            "header reprint keep child csplit swords 76 hiderec 3 hideband 16 overlay 0 sub 0/0 detail 0 words 3 "
            "groups []",
            // A label's child that starts a new page stayed in its row there
            // and printed whole below the page; split, its later parts went
            // on at the row's first place, not under its label.
            "paper 111x131 margin 1 pagecols 3 records 4 mastercols 3 height 16 child csplit cnewpage swords 22 "
            "hideband 16 overlay 0 sub 0/0 detail 0 words 0 groups []",
            "paper 111x131 margin 1 pagecols 3 records 4 mastercols 3 height 16 keep child csplit cnewpage swords 22 "
            "hideband 16 overlay 0 sub 0/0 detail 0 words 0 groups []",
            // A label's child under a group header repeated over nearly the
            // whole column took its row to the next column, where the header
            // left it no room (label below the page).
            "paper 104x118.133273185 margin 10 pagecols 2 records 2 mastercols 2 height 16 header newpage child "
            "gsplit swords 68 overlay 0 sub 0/0 detail 0 words 0 groups [{size 2 reprint}]",
            // A row of labels begun at the top of a page column below a tall
            // title, too tall for any column there, moved on column by column:
            // columns holding only their headers, the row over the last
            // column's footer.
            "paper 130x231.374948737 margin 5 pagecols 3 records 3 mastercols 2 height 16 title pageheader "
            "pagefooter colheader colfooter header pftotals cftotals labels aggs hiderec 4 overlay 0 sub 1/37 "
            "detail 0 words 0 groups [{size 5}]",
            // The second of two side-by-side subreports ended their first
            // page again and footed the next page's own pages in width there:
            // that page's footer then showed no total for its record.
            "paper 183x173 margin 0 pagecols 1 records 5 mastercols 1 height 16 pagefooter header reprint footer "
            "subside dheader pftotals cross 5/82 xgroups 4 overlay 0 sub 6/4 detail 3 words 0 groups []",
            // A split record's rest went on in the next column under the
            // title without the data header shown again: its line was taken
            // for taller than it is, or no column under the title held the
            // headers and a line, or a later column repeats more headers.
            "paper 185x68.4999589896 margin 0 pagecols 2 records 1 mastercols 1 height 16 title pageheader header "
            "reprint split overlay 0 sub 1/11 detail 0 words 17 groups []",
            "paper 140x187 margin 0 pagecols 2 records 1 mastercols 1 height 16 title pagefooter header reprint split "
            "overlay 0 sub 1/36 detail 0 words 1 groups []",
            "paper 113x105.899942585 margin 6 pagecols 3 records 1 mastercols 1 height 16 title pageheader header "
            "reprint split tsplit swords 38 overlay 0 sub 0/0 detail 0 words 0 groups [{size 1} {size 1 reprint}]",
            // Headers of a group whose records were all hidden were taken for
            // the column's top: the next kept group below them did not move
            // to an empty page that held it.
            "paper 134x104.483269084 margin 0 pagecols 1 records 2 mastercols 1 height 16 title pagefooter header child "
            "chain 1 hiderec 2 overlay 0 sub 0/0 detail 0 words 131 groups [{size 1} {size 1 keep}]",
            "paper 142x200 margin 9 pagecols 3 records 20 mastercols 1 height 16 subpop hiderec 2 overlay 0 sub 4/15 "
            "detail 0 words 10 groups [{size 2 keep}]",
            "paper 98x143 margin 0 pagecols 3 records 2 mastercols 1 height 16 child gsplit swords 15 tall 12 hiderec 4 "
            "overlay 0 sub 4/0 detail 0 words 0 groups [{size 1 keep}]",
            "paper 150x148 margin 0 pagecols 1 records 28 mastercols 1 height 16 pageheader colfooter child gsplit "
            "swords 9 cross 1/60 hiderec 5 overlay 0 sub 4/3 detail 0 words 4 groups [{size 7 keep reprint} {size 2}]",
            // A label kept with its child beside others of its row moved on
            // over the columns and left the column footer over those others.
            "paper 98x213 margin 9 pagecols 3 records 4 mastercols 3 height 16 colfooter child keepchild csplit "
            "swords 35 hideband 16 overlay 0 sub 0/0 detail 0 words 0 groups []",
            // The rows of a kept group header's subreport make its block
            // taller than a column (the checker left them out).
            "paper 205x114.083285488 margin 0 pagecols 3 records 3 mastercols 1 height 16 pagefooter colfooter "
            "subnested pftotals cftotals aggs tall 2 hiderec 2 overlay 0 sub 4/3 detail 0 words 52 groups [{size 1 keep}]",
            // Under a tall title a row of labels below its headers moved to
            // a later column that held it no better (the header shown there
            // again was taken at its design height).
            "paper 136x277.374948737 margin 5 pagecols 2 records 3 mastercols 3 height 16 title colfooter header "
            "cftotals labels aggs overlay 0 sub 1/51 detail 0 words 0 groups []",
            "paper 136x270.374948737 margin 10 pagecols 2 records 3 mastercols 3 height 16 title pagefooter colheader "
            "colfooter child gsplit tsplit labels swords 75 overlay 0 sub 1/0 detail 0 words 0 groups [{size 4 reprint}]",
            // A data band kept together with groups takes its whole run along
            // when a child starts a new page (the checker took the footer
            // after its hidden first record for another record's).
            "paper 138x140.783277286 margin 7 pagecols 1 records 2 mastercols 1 height 16 title pagefooter footer keep "
            "child footereach cnewpage hiderec 4 overlay 0 sub 1/26 detail 0 words 0 groups [{size 1}]",
    };
    expectEveryRule(cases);
}

// A cross-tab that goes on over some hundred pages in width: the pages that
// only carry cells in width are found reading each band once, not once for
// each band a page footer's totals cover.
TEST_F(PropertyTest, PagesInWidthAreFoundReadingEachBandOnce)
{
    const lyrprop::Plan s = lyrprop::parse(QStringLiteral(
            "paper 145x190 margin 0 pagecols 1 records 60 mastercols 1 height 32 pagefooter colheader colfooter header "
            "reprint footer newpage cftotals cross 20/84 xgroups 3 overlay 1 sub 0/0 detail 0 words 0 groups []"));
    std::unique_ptr<lyrprop::Built> b = lyrprop::build(s);
    ASSERT_TRUE(b->Report->PrepareReport());
    TlyrPreviewPages &pages = b->pages();
    ASSERT_GT(pages.Count(), 100);
    const size_t bands = lyrprop::printedBands(pages).size();
    lyrprop::Checker checker(*b, pages, pages.Count());
    EXPECT_TRUE(checker.check().empty());
    EXPECT_GT(checker.crossPartReads(), 0u);
    EXPECT_LE(checker.crossPartReads(), bands);
}

// A template's line reads back as the same template.
TEST_F(PropertyTest, ATemplatesLineReadsBackAsTheSameTemplate)
{
    for (uint64_t seed = 1; seed <= 200; ++seed) {
        lyrprop::SeedSource src(seed);
        const lyrprop::Plan s = lyrprop::generate(src, seed, true, true);
        EXPECT_EQ(lyrprop::parse(s.describe()).describe(), s.describe());
    }
    // The shapes have words of their own, read back alike.
    const QString line = QStringLiteral("paper 120x150 margin 0 pagecols 2 records 9 mastercols 3 height 16 pagefooter pftotals labels "
                                        "aggs plaintext pageexpr overlay 0 sub 0/0 detail 0 words 0 hiderec 3 hideband 9 xgroups 2 groups []");
    const lyrprop::Plan s = lyrprop::parse(line);
    EXPECT_TRUE(s.Labels && s.Aggregates && s.PlainText && s.PageExpr);
    EXPECT_EQ(s.HideRecords, 3);
    EXPECT_EQ(s.HideBands, 9);
    EXPECT_EQ(s.CrossGroups, 2);
    EXPECT_EQ(lyrprop::parse(s.describe()).describe(), s.describe());
}

// The shapes come from a stream of their own: a seed drawn with them gives
// the template it gave before unless it got one, and a line that names
// none gives none. Every shape comes in some of the first templates.
TEST_F(PropertyTest, TheShapesLeaveTheTemplatesOfSeedsAsTheyWere)
{
    QMap<QString, int> seen;
    int shaped = 0;
    for (uint64_t seed = 1; seed <= 3000; ++seed) {
        lyrprop::SeedSource a(seed), b(seed);
        const lyrprop::Plan plain = lyrprop::generate(a, seed);
        const lyrprop::Plan s = lyrprop::generate(b, seed, true, true);
        EXPECT_FALSE(plain.shapes());
        if (!s.shapes()) {
            EXPECT_EQ(s.describe(), plain.describe());
            continue;
        }
        ++shaped;
        const std::pair<const char *, bool> shapes[] = {
                {"hidden records", s.HideRecords > 0},
                {"hidden records in kept blocks", s.HideRecords > 0 && (s.KeepFooter || s.KeepHeader || s.MasterKeep)},
                {"hidden data footer", (s.HideBands & 1) != 0},
                {"hidden group footers", (s.HideBands & 2) != 0},
                {"hidden column footer", (s.HideBands & 4) != 0},
                {"hidden page footer", (s.HideBands & 8) != 0},
                {"hidden child", (s.HideBands & 16) != 0},
                {"labels with totals", s.Labels && s.MasterColumns >= 2 && (s.PageTotals || s.ColumnTotals)},
                {"four labels across", s.Labels && s.MasterColumns == 4},
                {"cross-tab column groups", s.CrossGroups > 0},
                {"aggregates", s.Aggregates},
                {"plain text", s.PlainText},
                {"page expressions", s.PageExpr}};
        for (const auto &[name, on] : shapes) seen[QString::fromLatin1(name)] += on ? 1 : 0;
    }
    EXPECT_GT(shaped, 1000);
    EXPECT_LT(shaped, 2000);
    for (auto it = seen.cbegin(); it != seen.cend(); ++it) EXPECT_GE(it.value(), 30) << it.key().toStdString();
    EXPECT_EQ(seen.size(), 13);
    EXPECT_FALSE(lyrprop::parse(QStringLiteral("paper 120x80 margin 0 pagecols 2 records 30 mastercols 1 height 16 title "
                                               "groups [{size 4 footer}]"))
                         .shapes());
}

// The checker reads MIN, MAX, AVG and the amounts' sum in a footer and
// each record's amount to two decimals, rounded half away from zero on
// the amount's decimal text; set right on the prepared pages they pass,
// set wrong each is reported.
TEST_F(PropertyTest, TheCheckerSeesWrongAggregatesAndRoundedAmounts)
{
    const lyrprop::Plan s = lyrprop::parse(QStringLiteral(
            "paper 150x120 margin 0 pagecols 1 records 3 mastercols 1 height 16 summary aggs overlay 0 sub 0/0 detail 0 words 0 groups []"));
    std::unique_ptr<lyrprop::Built> b = lyrprop::build(s);
    lyrprop::run(*b);
    TlyrPreviewPages &pages = b->pages();
    ASSERT_EQ(pages.Count(), 1);
    auto kinds = [&] {
        QStringList out;
        for (const lyrprop::Failure &f : lyrprop::Checker(*b, pages, pages.Count()).check()) out << f.Kind;
        return out;
    };
    TlyrMemoView *line = nullptr;
    QList<TlyrMemoView *> records;
    for (TlyrComponent *c : pages.GetPage(0)->Objects())
        for (TlyrComponent *o : c->Objects())
            if (auto *m = qobject_cast<TlyrMemoView *>(o)) {
                if (m->GetText().startsWith(QLatin1String("ag:"))) line = m;
                if (m->GetText().startsWith(QLatin1String("rec:M:"))) records << m;
            }
    ASSERT_NE(line, nullptr);
    ASSERT_EQ(records.size(), 3);
    // Values 0, 7, 1; amounts 2.675, 10 and 1234.565.
    const QString right = QStringLiteral("ag:N0:X7:A2.67:n2.675:x1234.565:s1247.24:p1247.24");
    line->SetText(right);
    const QStringList amounts{"2.68", "10.00", "1234.57"};
    for (int i = 0; i < 3; ++i)
        records[i]->SetText(QStringLiteral("rec:M:%1 @1 L1 amt:%2|%2|%2").arg(lyrprop::recordId(i), amounts[i]));
    EXPECT_EQ(kinds(), QStringList());
    for (const QString &wrong : {QStringLiteral("ag:N1:X7:A2.67:n2.675:x1234.565:s1247.24:p1247.24"),
                                 QStringLiteral("ag:N0:X7:A2.66:n2.675:x1234.565:s1247.24:p1247.24"),
                                 QStringLiteral("ag:N0:X7:A2.67:n10:x1234.565:s1247.24:p1247.24"),
                                 QStringLiteral("ag:N0:X7:A2.67:n2.675:x1234.565:s1247.23:p1247.24")}) {
        line->SetText(wrong);
        EXPECT_EQ(kinds(), QStringList{QStringLiteral("aggregate")}) << wrong.toStdString();
    }
    line->SetText(right);
    records[0]->SetText(QStringLiteral("rec:M:r0000 @1 L1 amt:2.68|2.67|2.68"));
    EXPECT_EQ(kinds(), QStringList{QStringLiteral("rounding")});
}

// A failing template is reduced while it fails the same way and written
// as a template with its data that lyrrun prepares to the same pages.
TEST_F(PropertyTest, AFailureIsReducedAndWrittenForLyrrun)
{
    lyrprop::SeedSource src(5);
    lyrprop::Plan big = lyrprop::generate(src, 5);
    big.Records = 30;
    big.Groups = {lyrprop::Group{3, false, false, false, false, true}};
    // Stands for a fault: more than four records.
    auto fails = [](const lyrprop::Plan &s) { return s.Records > 4; };
    const lyrprop::Plan small = lyrprop::reduce(big, fails);
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

// Reduced templates of faults once left for later engine fixes.
TEST_F(PropertyTest, ReducedTemplatesOfSideSubreportsAndSplitTitlesKeepEveryRule)
{
    const char *cases[] = {
            // Side-by-side and nested subreports in the summary over the column footer; a title that splits.
            "paper 186x95.7520247227 margin 0 pagecols 3 records 6 mastercols 1 height 16 colfooter subside "
            "subnested overlay 0 sub 2/3 detail 0 words 0 groups [{size 3 keep}]",
            "paper 93x95.8999425855 margin 1 pagecols 2 records 0 mastercols 1 height 16 title pageheader tsplit "
            "swords 73 overlay 0 sub 1/0 detail 0 words 0 groups []",
    };
    expectEveryRule(cases);
}

// The checker reads the totals of the summary and the script's totals, and
// sees a print-on-parent row laid over another object: each, changed on
// the prepared pages, is reported.
TEST_F(PropertyTest, TheCheckerSeesSummaryAndScriptTotalsAndRowsOverObjects)
{
    const lyrprop::Plan s = lyrprop::parse(QStringLiteral(
            "paper 150x120 margin 0 pagecols 1 records 6 mastercols 1 height 16 summary subpop popstretch script 1 "
            "overlay 0 sub 3/3 detail 0 words 0 groups []"));
    std::unique_ptr<lyrprop::Built> b = lyrprop::build(s);
    ASSERT_TRUE(lyrprop::run(*b).empty());
    TlyrPreviewPages &pages = b->pages();
    auto kinds = [&] {
        QStringList out;
        for (const lyrprop::Failure &f : lyrprop::Checker(*b, pages, pages.Count()).check()) out << f.Kind;
        return out;
    };
    ASSERT_TRUE(kinds().isEmpty());
    // The summary's band on its page, its text and its first row.
    TlyrComponent *summary = nullptr;
    TlyrMemoView *text = nullptr, *row = nullptr;
    for (int i = 0; i < pages.Count(); ++i)
        for (TlyrComponent *c : pages.GetPage(i)->Objects())
            if (c->Name() == QLatin1String("Summary1")) summary = c;
    ASSERT_NE(summary, nullptr);
    for (TlyrComponent *o : summary->Objects())
        if (auto *m = qobject_cast<TlyrMemoView *>(o)) {
            if (m->GetText().startsWith(QLatin1String("Summary1 "))) text = m;
            if (m->GetText().startsWith(QLatin1String("rec:S:z.s0"))) row = m;
        }
    ASSERT_NE(text, nullptr);
    ASSERT_NE(row, nullptr);
    const QString right = text->GetText();
    // Records 0..5 hold 0+7+1+8+2+9.
    ASSERT_TRUE(right.contains(QLatin1String("sum:S27:C6 sc:27:6"))) << right.toStdString();

    text->SetText(QString(right).replace(QLatin1String("sum:S27"), QLatin1String("sum:S28")));
    EXPECT_TRUE(kinds().contains(QStringLiteral("totals")));
    text->SetText(QString(right).replace(QLatin1String("sc:27:6"), QLatin1String("sc:27:7")));
    EXPECT_EQ(kinds(), QStringList{QStringLiteral("script")});
    text->SetText(right);
    const double top = row->Top();
    row->SetTop(text->Top());
    row->SetLeft(text->Left());
    EXPECT_TRUE(kinds().contains(QStringLiteral("overlap")));
    row->SetTop(top);
}

// Reduced templates the checker once judged wrong while their paper was
// right: a band holding print-on-parent rows that is taller than an empty
// column (by the rows' spacing, which a cut leaves out of its parts; or by
// a page footer left off the first or last page, whose room a page keeps
// while it fills) goes on in parts; a record's child that starts a new
// page takes along the header kept with the record.
TEST_F(PropertyTest, ReducedTemplatesOfBandsTallerThanAColumnAndKeptHeadersKeepEveryRule)
{
    const char *cases[] = {
            "paper 190x137 margin 2 pagecols 1 records 1 mastercols 1 height 24 pagefooter colfooter footer subpop "
            "overlay 0 sub 6/26 detail 0 words 0 groups []",
            "paper 198x82.9666201882 margin 3 pagecols 1 records 1 mastercols 1 height 16 pageheader pagefooter "
            "subpop overlay 0 sub 4/14 detail 0 words 0 groups [{size 1}]",
            "paper 122x139 margin 10 pagecols 1 records 1 mastercols 1 height 40 pagefooter footer subpop overlay 0 "
            "sub 6/24 detail 0 words 0 groups []",
            "paper 103x174 margin 0 pagecols 1 records 0 mastercols 1 height 16 pagefooter summary subpop pfnotlast "
            "overlay 0 sub 3/36 detail 0 words 0 groups []",
            "paper 94x153 margin 5 pagecols 1 records 0 mastercols 1 height 16 pagefooter summary subpop overlay 0 "
            "sub 3/29 detail 0 words 0 groups []",
            "paper 141x82 margin 0 pagecols 1 records 1 mastercols 1 height 16 title title-after pageheader "
            "pagefooter header keep child cnewpage overlay 0 sub 1/15 detail 0 words 0 groups []",
            "paper 164x111.254110961 margin 10 pagecols 1 records 1 mastercols 1 height 16 title header child "
            "keepheader cnewpage overlay 0 sub 1/20 detail 0 words 0 groups []",
    };
    expectEveryRule(cases);
}

// A band that may not split and goes on in parts although an empty column
// holds it whole is still reported: the footer's second part is cut down
// on the prepared page to one row.
TEST_F(PropertyTest, TheCheckerSeesABandThatFitsAColumnGoOnInParts)
{
    const lyrprop::Plan s = lyrprop::parse(QStringLiteral(
            "paper 190x137 margin 2 pagecols 1 records 1 mastercols 1 height 24 pagefooter colfooter footer subpop "
            "overlay 0 sub 6/26 detail 0 words 0 groups []"));
    std::unique_ptr<lyrprop::Built> b = lyrprop::build(s);
    ASSERT_TRUE(lyrprop::run(*b).empty());
    TlyrPreviewPages &pages = b->pages();
    std::vector<TlyrComponent *> parts;
    for (int i = 0; i < pages.Count(); ++i)
        for (TlyrComponent *c : pages.GetPage(i)->Objects())
            if (c->Name() == QLatin1String("Footer1")) parts.push_back(c);
    ASSERT_EQ(parts.size(), 2u);
    TlyrComponent *last = parts.back();
    while (last->Objects().size() > 1) delete last->Objects().last();
    last->SetHeight(16);
    QStringList kinds;
    for (const lyrprop::Failure &f : lyrprop::Checker(*b, pages, pages.Count()).check()) kinds << f.Kind;
    EXPECT_TRUE(kinds.contains(QStringLiteral("whole"))) << kinds.join(QLatin1Char(' ')).toStdString();
}

// Reduced templates of kept records taller than an empty column, which go
// on in parts wherever they begin. The checker once took them for blocks
// that fit: a page holding only a record's later parts was taken for a
// cross-tab's page in width and left out, and so were the parts holding a
// side subreport's rows.
TEST_F(PropertyTest, ReducedTemplatesOfKeptRecordsTallerThanAColumnKeepEveryRule)
{
    const char *cases[] = {
            "paper 155x127 margin 2 pagecols 1 records 3 mastercols 1 height 16 pageheader pagefooter colfooter "
            "header child keepchild gsplit csplit swords 67 records2 1 cross 10/44 overlay 0 sub 0/0 detail 0 "
            "words 4 groups [{size 2}]",
            "paper 157x123.245766008 margin 7 pagecols 1 records 5 mastercols 1 height 24 title pagefooter "
            "header child keepchild csplit swords 55 cross 1/69 overlay 0 sub 0/0 detail 2 words 0 groups "
            "[{size 5}]",
            "paper 204x143 margin 0 pagecols 1 records 2 mastercols 1 height 16 pagefooter colheader header "
            "child keepchild subpop subside gsplit swords 21 overlay 0 sub 2/1 detail 0 words 380 groups [{size "
            "3}]",
            "paper 208x127.41380983 margin 0 pagecols 1 records 2 mastercols 1 height 16 pagefooter footer "
            "child keepchild subpop subside overlay 0 sub 2/2 detail 3 words 371 groups []",
            // The rows of the record's nested subreport beside it make the
            // block taller than the page.
            "paper 95x114 margin 2 pagecols 1 records 2 mastercols 1 height 16 pageheader pagefooter child "
            "keepchild subnested csplit swords 58 records2 3 tall 3 overlay 0 sub 2/2 detail 0 words 0 groups "
            "[{size 1 reprint}]",
            // The columns of the title's page begin below it: the block does
            // not fit the next one there either.
            "paper 153x107 margin 0 pagecols 3 records 2 mastercols 1 height 40 title colheader header reprint "
            "child keepchild tsplit csplit swords 40 overlay 0 sub 0/0 detail 0 words 0 groups []",
            // Nor below the rows the title's subreport printed beside it.
            "paper 128x174 margin 0 pagecols 3 records 8 mastercols 1 height 40 title pageheader colheader child "
            "csplit childhidden chain 2 swords 15 overlay 0 sub 1/3 detail 0 words 0 groups [{size 4 keep}]",
    };
    expectEveryRule(cases);
}

// A page holding only a record's later parts in a report whose cross-tab
// fits the page's width is no page in width: its column total is checked
// like any other. The total of the page holding only the middle of a
// record's child, changed to count that record again, is reported.
TEST_F(PropertyTest, TheCheckerSeesTotalsOnAPageOfARecordsLaterParts)
{
    const lyrprop::Plan s = lyrprop::parse(QStringLiteral(
            "paper 155x127 margin 2 pagecols 1 records 3 mastercols 1 height 16 pageheader pagefooter colfooter "
            "header child keepchild gsplit csplit cftotals swords 67 records2 1 cross 10/44 overlay 0 sub 0/0 "
            "detail 0 words 4 groups [{size 2}]"));
    std::unique_ptr<lyrprop::Built> b = lyrprop::build(s);
    ASSERT_TRUE(lyrprop::run(*b).empty());
    TlyrPreviewPages &pages = b->pages();
    ASSERT_GE(pages.Count(), 3);
    // The third page shows the second record's child alone.
    TlyrMemoView *total = nullptr;
    for (TlyrComponent *c : pages.GetPage(2)->Objects()) {
        for (TlyrComponent *o : c->Objects())
            if (auto *m = qobject_cast<TlyrMemoView *>(o)) {
                ASSERT_FALSE(m->GetText().startsWith(QLatin1String("rec:M:"))) << m->GetText().toStdString();
                if (c->Name() == QLatin1String("ColumnFooter1")) total = m;
            }
    }
    ASSERT_NE(total, nullptr);
    ASSERT_TRUE(total->GetText().endsWith(QLatin1String(" cf:S0:C0"))) << total->GetText().toStdString();
    total->SetText(QString(total->GetText()).replace(QLatin1String("cf:S0:C0"), QLatin1String("cf:S7:C1")));
    QStringList kinds;
    for (const lyrprop::Failure &f : lyrprop::Checker(*b, pages, pages.Count()).check()) kinds << f.Kind;
    EXPECT_TRUE(kinds.contains(QStringLiteral("columntotals"))) << kinds.join(QLatin1Char(' ')).toStdString();
}

// A group whose records are all hidden by script prints its header alone,
// and the headers its own header brings again on a new page head it: the
// checker takes neither for a header without records.
TEST_F(PropertyTest, ReducedTemplatesOfGroupsWhoseRecordsAreAllHiddenKeepEveryRule)
{
    const char *cases[] = {
            "paper 138x95 margin 0 pagecols 1 records 11 mastercols 1 height 16 hiderec 5 overlay 0 sub 0/0 detail 0 "
            "words 0 groups [{size 11 reprint} {size 1}]",
            "paper 104x163 margin 0 pagecols 1 records 4 mastercols 1 height 16 hiderec 2 overlay 0 sub 0/0 detail 0 "
            "words 0 groups [{size 2 reprint} {size 1 newpage}]",
            "paper 168x110 margin 0 pagecols 1 records 21 mastercols 1 height 32 header reprint plaintext hiderec 5 "
            "overlay 0 sub 0/0 detail 0 words 0 groups [{size 3 reprint footer} {size 1}]",
    };
    expectEveryRule(cases);
}
