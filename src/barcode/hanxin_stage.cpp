// Han Xin post stage: groups the confirmed finder points into symbols and
// frames each one. A finder's orientation tells its corner up to the
// symbol's axis, so every group is checked for a consistent axis before its
// geometry is trusted. Three passes: triples of top-left, top-right and
// bottom-right finders; pairs of finders (either diagonal, then an edge),
// the other corners predicted and looked up, or placed from the pair alone.
#include <algorithm>
#include <cmath>

#include "barcode/error_trail.h"
#include "barcode/group_stages.h"
#include "barcode/hanxin.h"
#include "barcode/result_store.h"
#include "barcode/scan.h"

namespace barcode {

namespace {

constexpr int kMaxVersion = 84;
constexpr double kWideTolerance = 0.348;  // orientation, finders under 20 px
constexpr double kTolerance = 0.174;
constexpr double kSmallFinder = 20.0;
constexpr double kSizeSpread = 6.0;
constexpr int32_t kNoMemory = -10104301;
// Frames tried per scan at most: a page covered in finder-like marks must
// not keep the stage busy for long.
constexpr int kMaxOffers = 10000;

test_hooks::HanXinCandidateObserver candidateObserver = nullptr;

double Wrap(double angle) {
  const double full = 2 * kHxPi;
  angle = std::fmod(angle, full);
  return angle < 0 ? angle + full : angle;
}

// Smallest difference of two directions.
double AngleGap(double a, double b) {
  const double d = Wrap(a - b);
  return std::min(d, 2 * kHxPi - d);
}

double OrientationTolerance(const FinderPoint& f) {
  return f.size < kSmallFinder ? kWideTolerance : kTolerance;
}

// Symbol axis implied by a finder taken in a role.
double AxisOf(const FinderPoint& f, HxRole role) { return Wrap(f.orientation - HxRoleTurn(role)); }

// Module-to-image map: image = origin + u * ex + v * ey.
struct Frame {
  double ox, oy, exx, exy, eyx, eyy;
  void Map(double u, double v, double* x, double* y) const {
    *x = ox + u * exx + v * eyx;
    *y = oy + u * exy + v * eyy;
  }
};

// The similarity that takes two role positions (module units) to two image
// points.
Frame FrameFromPair(double u1, double v1, double x1, double y1, double u2, double v2, double x2,
                    double y2) {
  const double du = u2 - u1, dv = v2 - v1, dx = x2 - x1, dy = y2 - y1;
  const double n = du * du + dv * dv;
  // (dx + i dy) / (du + i dv)
  const double ar = (dx * du + dy * dv) / n, ai = (dy * du - dx * dv) / n;
  Frame f{0, 0, ar, ai, -ai, ar};
  f.ox = x1 - (u1 * f.exx + v1 * f.eyx);
  f.oy = y1 - (u1 * f.exy + v1 * f.eyy);
  return f;
}

// The affine map through three role positions; false when they are in line.
bool FrameFromTriple(const double u[3], const double v[3], const double x[3], const double y[3],
                     Frame* f) {
  const double a = u[1] - u[0], b = v[1] - v[0], c = u[2] - u[0], d = v[2] - v[0];
  const double det = a * d - b * c;
  if (std::fabs(det) < 1e-9) return false;
  const double x1 = x[1] - x[0], x2 = x[2] - x[0], y1 = y[1] - y[0], y2 = y[2] - y[0];
  f->exx = (x1 * d - x2 * b) / det;
  f->eyx = (x2 * a - x1 * c) / det;
  f->exy = (y1 * d - y2 * b) / det;
  f->eyy = (y2 * a - y1 * c) / det;
  f->ox = x[0] - (u[0] * f->exx + v[0] * f->eyx);
  f->oy = y[0] - (u[0] * f->exy + v[0] * f->eyy);
  return true;
}

struct Stage {
  ScanContext* ctx;
  SymbolResultList* results;
  Buffer<uint8_t> used;
  Buffer<ReaderOutput> out;  // one for every read: it is 17 KB
  int offers = 0;
  FinderPoint& F(int i) { return ctx->hanXinFinders.items[i]; }
  int Count() const { return ctx->hanXinFinders.count; }
  bool Room() const { return results->count < kMaxResults && offers < kMaxOffers; }
};

// Nearest unused finder that fits a role at a predicted position, or -1.
int Match(Stage* st, double x, double y, double axis, HxRole role, int skipA, int skipB) {
  int best = -1;
  double bestDistance = 0;
  for (int i = 0; i < st->Count(); ++i) {
    if (st->used[i] || i == skipA || i == skipB) continue;
    const FinderPoint& f = st->F(i);
    const double d = std::hypot(f.x - x, f.y - y);
    if (d > f.size / 4 || (best >= 0 && d >= bestDistance)) continue;
    if (AngleGap(AxisOf(f, role), axis) > OrientationTolerance(f)) continue;
    best = i, bestDistance = d;
  }
  return best;
}

// Fills the frame-derived fields of a candidate for a version.
void Describe(const Frame& frame, int version, HxCandidate* c) {
  const int n = 2 * version + 21;
  c->version = version;
  c->moduleSize = std::hypot(frame.exx, frame.exy);
  frame.Map(n / 2.0, n / 2.0, &c->centreX, &c->centreY);
  c->side = n * c->moduleSize;
  c->angleDegrees = Wrap(std::atan2(frame.exy, frame.exx)) * 180.0 / kHxPi;
  c->originX = frame.ox, c->originY = frame.oy;
  c->stepUx = frame.exx, c->stepUy = frame.exy, c->stepVx = frame.eyx, c->stepVy = frame.eyy;
}

// Frames the candidate from a module-to-image map and hands it on. The
// points kept are the finders used (a placed corner after a pair's two).
int32_t Offer(Stage* st, const Frame& frame, int version, const int idx[3], const HxRole roles[3],
              int points) {
  ++st->offers;
  HxCandidate c{};
  const int n = 2 * version + 21;
  for (int k = 0; k < 3; ++k) {
    c.role[k] = roles[k];
    if (k < points) {
      c.x[k] = st->F(idx[k]).x, c.y[k] = st->F(idx[k]).y;
    } else {
      double u, v;
      HxBlockCentre(roles[k], n, &u, &v);
      frame.Map(u, v, &c.x[k], &c.y[k]);
    }
  }
  c.points = points;
  Describe(frame, version, &c);
  if (candidateObserver != nullptr) candidateObserver(c);
  ReaderOutput* out = st->out.get();
  const int32_t code = ReadHanXin(st->ctx->image, &c, out);
  if (code == 1) {
    PushErrorTrail(ReaderLastError(), 0, 0);
    PushErrorTrail(kCategoryMemory, kModuleScan, 113);
    return 1;
  }
  if (out[0].text[0] == '\0') return 0;
  for (int k = 0; k < points; ++k) st->used[idx[k]] = 1;
  const int32_t side = static_cast<int32_t>(std::lround(c.side));
  const SymbolRect rect{static_cast<int32_t>(c.centreX), static_cast<int32_t>(c.centreY), side,
                        side};
  StoreResult(&st->ctx->image, st->results, kHxCode, out[0], rect,
              Wrap((c.angleDegrees - 90) * kHxPi / 180) * 180 / kHxPi);
  return 0;
}

// Pass 1: a top-left, top-right and bottom-right finder. The top-right one
// is taken first: the others must fit its axis, which keeps the search
// short on pages full of finder-like marks.
int32_t Triples(Stage* st) {
  const int count = st->Count();
  const HxRole roles[3] = {HxRole::kTopLeft, HxRole::kTopRight, HxRole::kBottomRight};
  for (int tr = 0; tr < count && st->Room(); ++tr) {
    for (int tl = 0; tl < count && st->Room() && !st->used[tr]; ++tl) {
      const FinderPoint& pTr = st->F(tr);
      const double axis = AxisOf(pTr, HxRole::kTopRight), tol = OrientationTolerance(pTr);
      const FinderPoint& pTl = st->F(tl);
      if (tl == tr || st->used[tl] || std::fabs(pTl.size - pTr.size) >= kSizeSpread) continue;
      if (AngleGap(AxisOf(pTl, HxRole::kTopLeft), axis) > tol) continue;
      // The top edge runs along the axis, the right edge a quarter turn on.
      if (AngleGap(std::atan2(pTr.y - pTl.y, pTr.x - pTl.x), axis) > tol) continue;
      for (int br = 0; br < count && st->Room() && !st->used[tl]; ++br) {
        const FinderPoint& pBr = st->F(br);
        if (br == tr || br == tl || st->used[br]) continue;
        if (std::fabs(pBr.size - pTl.size) > kSizeSpread - 1) continue;
        if (AngleGap(AxisOf(pBr, HxRole::kBottomRight), axis) > tol) continue;
        if (AngleGap(std::atan2(pBr.y - pTr.y, pBr.x - pTr.x), axis + kHxPi / 2) > tol) continue;
        // The isosceles right triangle of the three block centres.
        const double d1 = std::hypot(pTr.x - pTl.x, pTr.y - pTl.y);
        const double d2 = std::hypot(pBr.x - pTr.x, pBr.y - pTr.y);
        const double d3 = std::hypot(pBr.x - pTl.x, pBr.y - pTl.y);
        const double legTol = 0.06 * std::max(d1, std::min(d2, d3));
        if (std::fabs(d1 - d2) > legTol + 5.0) continue;
        if (std::trunc(std::fabs(std::sqrt(2.0) * d1 - d3)) > legTol) continue;
        // Version from the legs: a finder point's size is its block, 3 of
        // the finder's 7 modules.
        const double s = pTr.size * 7.0 / 3.0, m = s / 7.0;
        const double legA = d1 + 11.0 * s / 7.0, legB = d2 + 11.0 * s / 7.0;
        const int version = static_cast<int>((std::min(legA, legB) / m - 23) * 0.5 + 1.5);
        if (version < 1 || version > kMaxVersion) continue;
        double u[3], v[3];
        for (int r = 0; r < 3; ++r) HxBlockCentre(roles[r], 2 * version + 21, &u[r], &v[r]);
        const double x[3] = {pTl.x, pTr.x, pBr.x}, y[3] = {pTl.y, pTr.y, pBr.y};
        Frame frame;
        if (!FrameFromTriple(u, v, x, y, &frame)) continue;
        const int idx[3] = {tl, tr, br};
        const int32_t code = Offer(st, frame, version, idx, roles, 3);
        if (code != 0) return code;
      }
    }
  }
  return 0;
}

// Passes 2 and 3: two finders in given roles; the version comes from their
// distance, the remaining corners are looked up and, when missing, placed.
int32_t Pairs(Stage* st, const HxRole (*rolePairs)[2], int pairCount) {
  const int count = st->Count();
  for (int i = 0; i < count && st->Room(); ++i)
    for (int j = 0; j < count && st->Room(); ++j) {
      if (i == j || st->used[i] || st->used[j]) continue;
      const FinderPoint &p = st->F(i), &q = st->F(j);
      if (std::fabs(p.size - q.size) >= kSizeSpread) continue;
      for (int rp = 0; rp < pairCount; ++rp) {
        const HxRole ra = rolePairs[rp][0], rb = rolePairs[rp][1];
        const double axis = AxisOf(p, ra), tol = OrientationTolerance(p);
        if (AngleGap(AxisOf(q, rb), axis) > tol) continue;
        // The version whose role distance fits the pixel distance best.
        const double m = (p.size + q.size) / 6.0;
        if (m <= 0) continue;
        const double distance = std::hypot(q.x - p.x, q.y - p.y) / m;
        int version = 0;
        double bestMiss = 0;
        for (int ver = 1; ver <= kMaxVersion; ++ver) {
          double u1, v1, u2, v2;
          HxBlockCentre(ra, 2 * ver + 21, &u1, &v1);
          HxBlockCentre(rb, 2 * ver + 21, &u2, &v2);
          const double miss = std::fabs(std::hypot(u2 - u1, v2 - v1) - distance);
          if (version == 0 || miss < bestMiss) version = ver, bestMiss = miss;
        }
        if (bestMiss > 1.0) continue;
        const int n = 2 * version + 21;
        double u1, v1, u2, v2;
        HxBlockCentre(ra, n, &u1, &v1);
        HxBlockCentre(rb, n, &u2, &v2);
        const double expected = axis + std::atan2(v2 - v1, u2 - u1);
        if (AngleGap(std::atan2(q.y - p.y, q.x - p.x), expected) > tol) continue;
        Frame frame = FrameFromPair(u1, v1, p.x, p.y, u2, v2, q.x, q.y);
        // A third finder found where the map puts another corner refines it.
        int idx[3] = {i, j, -1};
        HxRole roles[3] = {ra, rb, ra};
        int points = 2;
        for (int r = 0; r < 4 && points == 2; ++r) {
          const HxRole role = static_cast<HxRole>(r);
          if (role == ra || role == rb) continue;
          double u, v, x, y;
          HxBlockCentre(role, n, &u, &v);
          frame.Map(u, v, &x, &y);
          const int k = Match(st, x, y, axis, role, i, j);
          if (k < 0) continue;
          double us[3], vs[3];
          HxBlockCentre(ra, n, &us[0], &vs[0]);
          HxBlockCentre(rb, n, &us[1], &vs[1]);
          us[2] = u, vs[2] = v;
          const double xs[3] = {p.x, q.x, st->F(k).x}, ys[3] = {p.y, q.y, st->F(k).y};
          Frame refined;
          if (!FrameFromTriple(us, vs, xs, ys, &refined)) continue;
          frame = refined;
          idx[2] = k, roles[2] = role, points = 3;
        }
        if (points == 2) {
          // The third role reported is a corner placed from the pair.
          for (int r = 0; r < 4; ++r)
            if (static_cast<HxRole>(r) != ra && static_cast<HxRole>(r) != rb) {
              roles[2] = static_cast<HxRole>(r);
              break;
            }
        }
        // Two finders a quarter turn apart fit two corner pairs alike (top
        // left and right, or right top and bottom): each is offered.
        const int32_t code = Offer(st, frame, version, idx, roles, points);
        if (code != 0) return code;
      }
    }
  return 0;
}

}  // namespace

void HxBlockCentre(HxRole role, int n, double* x, double* y) {
  switch (role) {
    case HxRole::kTopLeft: *x = 5.5, *y = 5.5; break;
    case HxRole::kTopRight: *x = n - 5.5, *y = 5.5; break;
    case HxRole::kBottomLeft: *x = 1.5, *y = n - 1.5; break;
    case HxRole::kBottomRight:
    default: *x = n - 5.5, *y = n - 5.5; break;
  }
}

double HxRoleTurn(HxRole role) {
  switch (role) {
    case HxRole::kTopLeft: return 0;
    case HxRole::kTopRight:
    case HxRole::kBottomLeft: return kHxPi / 2;
    case HxRole::kBottomRight: return kHxPi;
  }
  return 0;
}

bool ReframeHanXin(HxCandidate* c, int version) {
  if (version < 1 || version > kMaxVersion || c->points < 2 || c->points > 3) return false;
  const int n = 2 * version + 21;
  double u[3], v[3];
  for (int k = 0; k < 3; ++k) HxBlockCentre(c->role[k], n, &u[k], &v[k]);
  Frame frame;
  if (c->points == 3) {
    if (!FrameFromTriple(u, v, c->x, c->y, &frame)) return false;
  } else {
    frame = FrameFromPair(u[0], v[0], c->x[0], c->y[0], u[1], v[1], c->x[1], c->y[1]);
    frame.Map(u[2], v[2], &c->x[2], &c->y[2]);
  }
  Describe(frame, version, c);
  return true;
}

bool HanXinModuleDark(const BinaryImage& image, const HxCandidate& c, int row, int col) {
  const double u = col + 0.5, v = row + 0.5;
  const double x = std::floor(c.originX + u * c.stepUx + v * c.stepVx);
  const double y = std::floor(c.originY + u * c.stepUy + v * c.stepVy);
  const bool inside = x >= 0 && y >= 0 && x < image.width && y < image.height;
  return inside &&
         image.pixels[static_cast<size_t>(y) * image.stride + static_cast<size_t>(x)] != 0;
}

void SampleHanXinGrid(const BinaryImage& image, const HxCandidate& c, uint8_t* grid) {
  const int n = 2 * c.version + 21;
  for (int r = 0; r < n; ++r)
    for (int col = 0; col < n; ++col) grid[r * n + col] = HanXinModuleDark(image, c, r, col);
}

void test_hooks::ObserveHanXinCandidates(HanXinCandidateObserver observer) {
  candidateObserver = observer;
}

int32_t HanXinPostStage(ScanContext* ctx, SymbolResultList* results) {
  if (ctx->hanXinFinders.count == 0) return 0;
  Stage st{ctx, results, AllocArray<uint8_t>(static_cast<size_t>(ctx->hanXinFinders.count)),
           AllocArray<ReaderOutput>(1)};
  if (!st.used) {
    ReaderLastError() = kNoMemory;
    PushErrorTrail(kNoMemory, 0, 0);
    return 1;
  }
  if (!st.out) return 2;
  int32_t code = Triples(&st);
  // Opposite corners first, then neighbours along an edge.
  static const HxRole kDiagonals[][2] = {{HxRole::kTopRight, HxRole::kBottomLeft},
                                         {HxRole::kTopLeft, HxRole::kBottomRight}};
  static const HxRole kEdges[][2] = {{HxRole::kTopLeft, HxRole::kTopRight},
                                     {HxRole::kTopRight, HxRole::kBottomRight},
                                     {HxRole::kBottomLeft, HxRole::kBottomRight},
                                     {HxRole::kTopLeft, HxRole::kBottomLeft}};
  if (code == 0) code = Pairs(&st, kDiagonals, 2);
  if (code == 0) code = Pairs(&st, kEdges, 4);
  return code;
}

}  // namespace barcode
