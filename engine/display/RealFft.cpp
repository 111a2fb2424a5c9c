#include "display/RealFft.h"

#include "core/AlignedAllocator.h"
#include "kernels/Kernels.h"

#include <array>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace {

// Twiddle factors of one order, in split (real, imaginary) arrays (see
// FftTwiddles for their meaning), all in one block: each array starts 64
// bytes further into a 4 KiB page than the one before, so that the arrays
// that a pass reads side by side at like indices fall into different cache
// sets (arrays of their own fell where the heap put them, and passes varied
// in speed from run to run with that).
struct FftTables {
    std::vector<double, vkit::AlignedAllocator<double, 4096>> block;
    FftTwiddles view;
    double scale = 1;  // 1 / N, kept here: ldexp is a library call, and the small transforms feel it
};

void unitRoot(std::size_t k, std::size_t n, double& re, double& im)
{
    const long double twoPi = 6.283185307179586476925286766559005768L;
    const long double a = twoPi * static_cast<long double>(k % n) / static_cast<long double>(n);
    re = static_cast<double>(std::cos(a));
    im = static_cast<double>(-std::sin(a));
}

std::unique_ptr<FftTables> buildTables(int m)
{
    auto t = std::make_unique<FftTables>();
    const std::size_t n = std::size_t{1} << m;
    const std::size_t points = n / 2;
    const std::size_t q = points / 4;
    // w1r .. w3i (q each), v1r .. v3i (q / 4 each, at least one), sr and si (M / 2 each)
    const std::size_t sizes[14] = {q, q, q, q, q, q, q / 4 + 1, q / 4 + 1, q / 4 + 1, q / 4 + 1, q / 4 + 1, q / 4 + 1,
                                   points / 2 + 1, points / 2 + 1};
    constexpr std::size_t kPage = 4096 / sizeof(double), kLine = 64 / sizeof(double);
    std::size_t at[14];
    std::size_t end = 0;
    for (std::size_t i = 0; i < 14; ++i) {
        at[i] = (end + kPage - 1) / kPage * kPage + i * kLine;
        end = at[i] + sizes[i];
    }
    t->block.assign(end, 0.0);
    double* a[14];
    for (std::size_t i = 0; i < 14; ++i)
        a[i] = t->block.data() + at[i];
    for (std::size_t p = 0; p < q; ++p) {
        unitRoot(p, points, a[0][p], a[1][p]);
        unitRoot(2 * p, points, a[2][p], a[3][p]);
        unitRoot(3 * p, points, a[4][p], a[5][p]);
    }
    for (std::size_t i = 0; i < 6; ++i)
        for (std::size_t p = 0; 4 * p < q; ++p)
            a[6 + i][p] = a[i][4 * p];
    for (std::size_t k = 0; k < points / 2; ++k)
        unitRoot(k, n, a[12][k], a[13][k]);
    t->view = {points, a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10], a[11], a[12], a[13]};
    t->scale = std::ldexp(1.0, -m);
    return t;
}

// A size's tables, built on its first use. After that a lookup is one
// load: the small transforms are short enough for the once-call's own cost
// to show.
const FftTables& tablesFor(int m)
{
    static std::array<std::once_flag, kMaxFftOrder + 1> once;
    static std::array<std::unique_ptr<FftTables>, kMaxFftOrder + 1> tables;
    static std::array<std::atomic<const FftTables*>, kMaxFftOrder + 1> built{};
    const auto i = static_cast<std::size_t>(m);
    if (const FftTables* t = built[i].load(std::memory_order_acquire))
        return *t;
    std::call_once(once[i], [i, m] {
        tables[i] = buildTables(m);
        built[i].store(tables[i].get(), std::memory_order_release);
    });
    return *tables[i];
}

// The kernels for transforms of order m: the table in use, or the narrower
// one whose passes take that order.
const KernelTable& kernelsFor(int m)
{
    const KernelTable* k = &vectorKernels();
    while (m < k->fftMinOrder && k->narrower != nullptr)
        k = k->narrower;
    return *k;
}

// The passes go back and forth between the scratch and `work`: the
// caller's buffer where it lies on 32 bytes, which the vector loads and
// stores want, else a second scratch buffer (a buffer from malloc lies on
// 16 bytes only, and passes through it measured up to a third slower).
void transform(double* x, int m, double* work, double* scratch)
{
    const FftTables& t = tablesFor(m);
    const KernelTable& k = kernelsFor(m);
    const double* z = k.fftPasses(t.view, x, work, scratch);
    k.fftSplit(t.view, z, z + t.view.points, x, t.scale);
}

// The transform, then x's squared magnitudes added to acc; on vector
// processors the split adds them without storing the spectrum.
void transformPower(double* x, int m, double* work, double* scratch, double* acc)
{
    const FftTables& t = tablesFor(m);
    const KernelTable& k = kernelsFor(m);
    const double* z = k.fftPasses(t.view, x, work, scratch);
    k.fftSplitPower(t.view, z, z + t.view.points, x, t.scale, acc);
}

// Where the scratch starts: 512 bytes past `work` modulo 4 KiB. The passes
// read one of the two while they write the other at like offsets; where the
// two lie a multiple of 2 KiB apart (the low address bits alike) the
// processor takes the loads for dependent on the stores, which measured up
// to a fifth slower at N = 4096. base must lie on a 4 KiB boundary with
// 4 KiB to spare after the scratch.
double* scratchNear(double* base, const double* work)
{
    constexpr std::uintptr_t kPage = 4096, kApart = 512, kLine = 64;
    const std::uintptr_t at = (reinterpret_cast<std::uintptr_t>(work) + kApart + kLine - 1) / kLine * kLine % kPage;
    return base + at / sizeof(double);
}

// Calls f(work, scratch) with the passes' two buffers of 2^m doubles: work
// is `buffer` where that lies on 32 bytes, else a buffer of its own; the
// scratch is placed for the passes' use of work. On the stack up to 1024
// doubles each, in a per-thread buffer above that.
template <typename F>
void withScratch(int m, double* buffer, F f)
{
    constexpr std::size_t kSlack = 4096 / sizeof(double), kApart = 512 / sizeof(double);
    const std::size_t n = std::size_t{1} << m;
    const bool aligned = reinterpret_cast<std::uintptr_t>(buffer) % 32 == 0;
    const auto run = [&](double* base) {
        // An own work buffer first, the scratch 512 bytes after it modulo 4 KiB.
        double* work = aligned ? buffer : base;
        f(work, scratchNear(aligned ? base : base + (n + kApart + kSlack - 1) / kSlack * kSlack, work));
    };
    if (m <= 10) {
        alignas(4096) double scratch[2 * 1024 + 2 * kSlack];
        run(scratch);
    } else {
        thread_local std::vector<double, vkit::AlignedAllocator<double, 4096>> scratch;
        if (scratch.size() < 2 * n + 2 * kSlack)
            scratch.resize(2 * n + 2 * kSlack);
        run(scratch.data());
    }
}

}  // namespace

void RealFft(double* buffer, int m)
{
    if (buffer == nullptr || m < 1 || m > kMaxFftOrder)
        return;
    withScratch(m, buffer, [&](double* work, double* scratch) { transform(buffer, m, work, scratch); });
}

void RealFftAddPower(double* buffer, int m, double* acc)
{
    if (buffer == nullptr || acc == nullptr || m < 1 || m > kMaxFftOrder)
        return;
    withScratch(m, buffer, [&](double* work, double* scratch) { transformPower(buffer, m, work, scratch, acc); });
}

std::vector<double> RealFftPcm16Window(const double* window, int m)
{
    const std::size_t n = m >= 0 && m <= kMaxFftOrder ? std::size_t{1} << m : 0;
    std::vector<double> layout(window, window + n);
    for (std::size_t block = 0; block + 8 <= n; block += 8)
        for (std::size_t j = 0; j < 4; ++j) {
            layout[block + j] = window[block + 2 * j];
            layout[block + 4 + j] = window[block + 2 * j + 1];
        }
    return layout;
}

bool RealFftPcm16AddPower(const std::uint8_t* pcm, const double* window, int m, double* work, double* acc)
{
    if (pcm == nullptr || window == nullptr || work == nullptr || acc == nullptr || m < 1 || m > kMaxFftOrder)
        return false;
    const KernelTable& k = kernelsFor(m);
    if (k.fftPcm16Passes == nullptr)
        return false;
    const FftTables& t = tablesFor(m);
    withScratch(m, work, [&](double* passWork, double* scratch) {
        const double* z = k.fftPcm16Passes(t.view, pcm, window, passWork, scratch);
        k.fftSplitPower(t.view, z, z + t.view.points, work, t.scale, acc);
    });
    return true;
}
