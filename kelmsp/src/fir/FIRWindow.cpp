// Windows of the FIR design: generalised cosine windows, triangular, Kaiser
// (with the modified Bessel function I0) and Dolph-Chebyshev.
#include <kelmsp/KelmFIRDesign.h>

#include "fir/FIRInternal.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

using kelm_detail::reportError;

namespace {

// Chebyshev series of I0 (Fullerton's series, as in SLATEC's DBESI0/DBSI0E):
// on |x| <= 3 I0(x) = 2.75 + sum bi0 T_k(x^2/4.5 - 1); on 3 < |x| <= 8
// exp(-|x|) I0(x) = (0.375 + sum ai0 T_k((48/|x| - 11)/5)) / sqrt(|x|); above 8
// the same with ai02 at 16/|x| - 1.
constexpr double kBI0[] = {
    -.07660547252839144951081894976243285,   1.927337953993808269952408750881196,
    .2282644586920301338937029292330415,     .01304891466707290428079334210691888,
    .0004344270900816487451378682681026107,  .000009422657686001934663923171744118766,
    .1434006289510691079962091878179957e-6,  .1613849069661749069915419719994611e-8,
    .1396650044535669699495092708142522e-10, .9579451725505445344627523171893333e-13,
    .5333981859862502131015107744000000e-15, .2458716088437470774696785919999999e-17,
    .9535680890248770026944341333333333e-20, .3154382039721427336789333333333333e-22,
    .9004564101094637431466666666666666e-25, .2240647369123670016000000000000000e-27,
    .4903034603242837333333333333333333e-30, .9508172606122666666666666666666666e-33};
constexpr double kAI0[] = {
    .07575994494023795942729872037438,   .007591380810823345507292978733204,
    .0004153131338923750501863197491382, .00001070076463439073073582429702170,
    -.7901179979212894660750319485730e-5, -.7826143501438752269788989806909e-6,
    .2783849942948870806381185389857e-6, .8252472600612027191966829133198e-8,
    -.1204463945520199179054960891103e-7, .1559648598506076443612287527928e-8,
    .2292556367103316543477254802857e-9, -.1191622884279064603677774234478e-9,
    .1757854916032409830218331247743e-10, .1128224463218900517144411356824e-11,
    -.1146848625927298877729633876982e-11, .2715592054803662872643651921606e-12,
    -.2415874666562687838442475720281e-13, -.6084469888255125064606099639224e-14,
    .3145705077175477293708360267303e-14, -.7172212924871187717962175059176e-15,
    .7874493403454103396083909603327e-16, .1004802753009462402345244571839e-16,
    -.7566895365350534853428435888810e-17, .2150380106876119887812051287845e-17,
    -.3754858341830874429151584452608e-18, .2354065842226992576900757105322e-19,
    .1114667612047928530226373355110e-19, -.5398891884396990378696779322709e-20,
    .1439598792240752677042858404522e-20, -.2591916360111093406460818401962e-21,
    .2238133183998583907434092298240e-22, .5250672575364771172772216831999e-23,
    -.3249904138533230784173432285866e-23, .9924214103205037927857284710400e-24,
    -.2164992254244669523146554299733e-24, .3233609471943594083973332991999e-25,
    -.1184620207396742489824733866666e-26, -.1281671853950498650548338687999e-26,
    .5827015182279390511605568853333e-27, -.1668222326026109719364501503999e-27,
    .3625309510541569975700684800000e-28, -.5733627999055713589945958399999e-29,
    .3736796722063098229642581333333e-30, .1602073983156851963365512533333e-30,
    -.8700424864057229884522495999999e-31, .2741320937937481145603413333333e-31};
constexpr double kAI02[] = {
    .05449041101410883160789609622680,   .003369116478255694089897856629799,
    .00006889758346916823984262639143011, .000002891370520834756482966924023232,
    .2048918589469063741827605340931e-6, .2266668990498178064593277431361e-7,
    .3396232025708386345150843969523e-8, .4940602388224969589104824497835e-9,
    .1188914710784643834240845251963e-10, -.3149916527963241364538648629619e-10,
    -.1321581184044771311875407399267e-10, -.1794178531506806117779435740269e-11,
    .7180124451383666233671064293469e-12, .3852778382742142701140898017776e-12,
    .1540086217521409826913258233397e-13, -.4150569347287222086626899720156e-13,
    -.9554846698828307648702144943125e-14, .3811680669352622420746055355118e-14,
    .1772560133056526383604932666758e-14, -.3425485619677219134619247903282e-15,
    -.2827623980516583484942055937594e-15, .3461222867697461093097062508134e-16,
    .4465621420296759999010420542843e-16, -.4830504485944182071255254037954e-17,
    -.7233180487874753954562272409245e-17, .9921475412173698598880460939810e-18,
    .1193650890845982085504399499242e-17, -.2488709837150807235720544916602e-18,
    -.1938426454160905928984697811326e-18, .6444656697373443868783019493949e-19,
    .2886051596289224326481713830734e-19, -.1601954907174971807061671562007e-19,
    -.3270815010592314720891935674859e-20, .3686932283826409181146007239393e-20,
    .1268297648030950153013595297109e-22, -.7549825019377273907696366644101e-21,
    .1502133571377835349637127890534e-21, .1265195883509648534932087992483e-21,
    -.6100998370083680708629408916002e-22, -.1268809629260128264368720959242e-22,
    .1661016099890741457840384874905e-22, -.1585194335765885579379705048814e-23,
    -.3302645405968217800953817667556e-23, .1313580902839239781740396231174e-23,
    .3689040246671156793314256372804e-24, -.4210141910461689149219782472499e-24,
    .4791954591082865780631714013730e-25, .8459470390221821795299717074124e-25,
    -.4039800940872832493146079371810e-25, -.6434714653650431347301008504695e-26,
    .1225743398875665990344647369905e-25, -.2934391316025708923198798211754e-26,
    -.1961311309194982926203712057289e-26, .1503520374822193424162299003098e-26,
    -.9588720515744826552033863882069e-28, -.3483339380817045486394411085114e-27,
    .1690903610263043673062449607256e-27, .1982866538735603043894001157188e-28,
    -.5317498081491816214575830025284e-28, .1803306629888392946235014503901e-28,
    .6213093341454893175884053112422e-29, -.7692189292772161863200728066730e-29,
    .1858252826111702542625560165963e-29, .1237585142281395724899271545541e-29,
    -.1102259120409223803217794787792e-29, .1886287118039704490077874479431e-30,
    .2160196872243658913149031414060e-30, -.1605454124919743200584465949655e-30,
    .1965352984594290603938848073318e-31};

static_assert(std::size(kBI0) == 18 && std::size(kAI0) == 46 && std::size(kAI02) == 69);

// Number of terms of a series whose neglected tail stays within eta.
int seriesTerms(const double* cs, int n, double eta) {
  double err = 0;
  int i = n;
  for (; i >= 1; --i) {
    err += std::fabs(cs[i - 1]);
    if (err > eta) break;
  }
  return std::max(i, 1);
}

// sum cs[k] T_k(x) with the first term halved (Clenshaw).
template <class T>
T chebyshevSeries(T x, const double* cs, int n) {
  T b0 = 0, b1 = 0, b2 = 0;
  const T twox = T(2) * x;
  for (int i = n - 1; i >= 0; --i) {
    b2 = b1;
    b1 = b0;
    b0 = twox * b1 - b2 + T(cs[i]);
  }
  return T(0.5) * (b0 - b2);
}

// The terms are chosen once for an accuracy of a tenth of the precision.
template <class T>
struct BesselTerms {
  int bi0, ai0, ai02;
  T small;  // below it I0 is 1 to working precision
  BesselTerms() {
    const double eps = std::numeric_limits<T>::epsilon();
    bi0 = seriesTerms(kBI0, int(std::size(kBI0)), 0.1 * eps);
    ai0 = seriesTerms(kAI0, int(std::size(kAI0)), 0.1 * eps);
    ai02 = seriesTerms(kAI02, int(std::size(kAI02)), 0.1 * eps);
    small = T(std::sqrt(8 * eps));
  }
};

template <class T>
const BesselTerms<T>& besselTerms() {
  static const BesselTerms<T> terms;
  return terms;
}

// I0(y) for 0 <= y <= 3.
template <class T>
T besselI0Small(T y) {
  const BesselTerms<T>& t = besselTerms<T>();
  if (y <= t.small) return T(1);
  return T(2.75) + chebyshevSeries(y * y / T(4.5) - T(1), kBI0, t.bi0);
}

// exp(-y) I0(y) for y > 3.
template <class T>
T besselI0ScaledLarge(T y) {
  const BesselTerms<T>& t = besselTerms<T>();
  if (y <= T(8)) return (T(0.375) + chebyshevSeries((T(48) / y - T(11)) / T(5), kAI0, t.ai0)) / std::sqrt(y);
  return (T(0.375) + chebyshevSeries(T(16) / y - T(1), kAI02, t.ai02)) / std::sqrt(y);
}

// I0(a) / I0(b) for 0 <= a <= b, through the scaled function above 3 so
// that the ratio stays finite where I0 itself overflows.
template <class T>
T besselI0Ratio(T a, T b) {
  if (b <= T(3)) return besselI0Small(a) / besselI0Small(b);
  const T scaledB = besselI0ScaledLarge(b);
  if (a <= T(3)) return besselI0Small(a) * std::exp(-b) / scaledB;
  return besselI0ScaledLarge(a) * std::exp(a - b) / scaledB;
}

template <class T>
KelmVector<T> kaiser(int n, T alpha) {
  KelmVector<T> w(n);
  T* d = w.array();
  const T B = std::fabs(T(kelm_detail::kPi) * alpha);
  const T half = T(n - 1) / T(2);
  for (int k = 0; k <= (n - 1) / 2; ++k) {
    const T x = (T(k) - half) / half;
    const T a = B * std::sqrt(std::max(T(0), T(1) - x * x));
    d[k] = besselI0Ratio(std::min(a, B), B);
    d[n - 1 - k] = d[k];
  }
  return w;
}

// Coefficients of T_2m(c cos(w/2)) in powers of e^(jw), normalised to 1 at
// the centre.
template <class T>
KelmVector<T> dolphChebyshev(int n, T theta) {
  const int m = (n - 1) / 2;
  const T c = T(1) / std::cos(T(kelm_detail::kPi) * theta / T(2));
  const T c2 = c * c;
  // Index i of these vectors holds the power i - m - 1 (one guard value on
  // each side).
  KelmVector<T> older(n + 2), previous(n + 2), current(n + 2);
  T* p0 = older.array();
  T* p1 = previous.array();
  T* p2 = current.array();
  const int centre = m + 1;
  p0[centre] = T(1);
  if (m >= 1) {
    p1[centre - 1] = c2 / T(2);
    p1[centre] = c2 - T(1);
    p1[centre + 1] = c2 / T(2);
  } else {
    p1[centre] = T(1);
  }
  for (int j = 2; j <= m; ++j) {
    T largest = 0;
    for (int i = centre - j; i <= centre + j; ++i) {
      p2[i] = c2 * (p1[i - 1] + p1[i + 1]) + T(2) * (c2 - T(1)) * p1[i] - p0[i];
      largest = std::max(largest, std::fabs(p2[i]));
    }
    // The recurrence is linear: scaling the last two terms together keeps
    // it exact and the values finite for long windows.
    if (largest > T(1e20)) {
      for (int i = centre - j; i <= centre + j; ++i) {
        p2[i] /= largest;
        p1[i] /= largest;
      }
    }
    std::swap(p0, p1);
    std::swap(p1, p2);
  }
  KelmVector<T> w(n);
  for (int k = 0; k < n; ++k) w.array()[k] = p1[k + 1] / p1[centre];
  return w;
}

}  // namespace

namespace kelm_detail {

template <class T>
KelmVector<T> firWindow(int n, int option, T parameter) {
  switch (option) {
    case KELM_WINDOW_TRIANGULAR: {
      KelmVector<T> w(n);
      const T half = T(n - 1) / T(2);
      for (int k = 0; k < n; ++k) w.array()[k] = T(1) - std::fabs(T(k) - half) / half;
      return w;
    }
    case KELM_WINDOW_KAISER:
      return kaiser(n, parameter);
    case KELM_WINDOW_DOLPH_CHEBYSHEV:
      return dolphChebyshev(n, parameter);
    default:
      break;
  }
  // Generalised cosine windows: a0 + a1 cos(beta) + a2 cos(2 beta) with
  // beta = 2 pi (k + (n-1)/2) / (n-1), that is a0 - a1 cos(2 pi k/(n-1)) + ...
  double a0 = 1, a1 = 0, a2 = 0;
  if (option == KELM_WINDOW_HANN) {
    a0 = 0.5;
    a1 = 0.5;
  } else if (option == KELM_WINDOW_HAMMING) {
    a0 = 0.5400000214576721;
    a1 = 0.46000000834465027;
  } else if (option == KELM_WINDOW_BLACKMAN) {
    a0 = 0.41999998688697815;
    a1 = 0.5;
    a2 = 0.07999999821186066;
  }
  // The values up to the middle, mirrored: with the single-precision 2 pi
  // the formula alone would leave the two halves different by about 1e-7.
  KelmVector<T> w(n);
  const double twoPi = 6.2831854820251465;
  for (int k = 0; k <= (n - 1) / 2; ++k) {
    const T beta = T(twoPi * (k + (n - 1) / 2.0) / (n - 1));
    w.array()[k] = w.array()[n - 1 - k] = T(a0) + T(a1) * std::cos(beta) + T(a2) * std::cos(T(2) * beta);
  }
  return w;
}

template KelmVector<double> firWindow(int, int, double);
template KelmVector<float> firWindow(int, int, float);

}  // namespace kelm_detail

namespace {

template <class T>
KelmVector<T> checkedWindow(int n, KelmFIRWindowOption option, T parameter, bool withParameter) {
  if (n <= 1) return reportError(200118, {"n"}, {1}), KelmVector<T>();
  if (option < KELM_WINDOW_RECTANGULAR || option > KELM_WINDOW_DOLPH_CHEBYSHEV)
    return reportError(200110, {"option", "[0, 6]"}), KelmVector<T>();
  if (!withParameter && (option == KELM_WINDOW_KAISER || option == KELM_WINDOW_DOLPH_CHEBYSHEV))
    return reportError(200120), KelmVector<T>();
  if (option == KELM_WINDOW_DOLPH_CHEBYSHEV) {
    if (n % 2 == 0) return reportError(200119), KelmVector<T>();
    if (!(parameter > T(0) && parameter < T(1))) return reportError(200110, {"theta", "(0, 1)"}), KelmVector<T>();
  }
  if (option == KELM_WINDOW_KAISER) {
    // The largest argument of I0: the largest number times log(2).
    const T limit = std::numeric_limits<T>::max() * T(0.6931471805599453);
    const T B = std::fabs(T(kelm_detail::kPi) * parameter);
    if (!(B <= limit)) return reportError(200212, {}, {}, {double(limit)}, KELM_FATAL), KelmVector<T>();
  }
  return kelm_detail::firWindow(n, int(option), parameter);
}

}  // namespace

template <class T>
KelmVector<T> FIRWindow(int n, KelmFIRWindowOption option, std::type_identity_t<T> parameter) {
  KELM_ROUTINE("FIRWindowDouble(const int, KelmFIRWindowOption, const double)");
  return checkedWindow<T>(n, option, parameter, true);
}

template <class T>
KelmVector<T> FIRWindow(int n, KelmFIRWindowOption option) {
  KELM_ROUTINE("FIRWindowDouble(const int, KelmFIRWindowOption)");
  return checkedWindow<T>(n, option, T(0), false);
}

template KelmVector<double> FIRWindow<double>(int, KelmFIRWindowOption, double);
template KelmVector<float> FIRWindow<float>(int, KelmFIRWindowOption, float);
template KelmVector<double> FIRWindow<double>(int, KelmFIRWindowOption);
template KelmVector<float> FIRWindow<float>(int, KelmFIRWindowOption);
