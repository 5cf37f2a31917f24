// Fitting pictures beside ImageMagick and vipsthumbnail doing the same, every case a program in a
// fresh process (this one runs itself for our side): a 6000 × 4000 photo cropped to a 240 × 320
// JPG, the same scene as a progressive JPEG (4:2:0), as a 4000 × 3000 lossy WebP and HEIC, and a
// 2000 × 2000 drawing with alpha to a 128 × 128 RAW with error diffusion. The pairs run
// interleaved, round after round, and their fastest runs are compared, so a busy moment of the
// machine hurts both sides alike. Then the quality of the fitted picture against ImageMagick's
// Lanczos of the same source rectangle (PSNR), and the peak memory of our fit.
// The inputs are made by ImageMagick (the HEIC by vips) once and kept in the build folder.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "bench/spawn.h"
#include "files/jpeg_decoder.h"
#include "files/jpeg_session.h"
#include "fit/fit_geometry.h"
#include "fit/fit_picture.h"

namespace {

namespace fs = std::filesystem;
using wqt::FileKind;
using wqt::FitTarget;
using wqt::RgbPicture;

constexpr int kRounds = 7;
constexpr double kPeakRssGoalMiB = 64;
constexpr double kBeyondCoefficientsMiB = 48;
constexpr double kPsnrGoal = 35;

using wqt::bench::Ran;

void mustRun(const std::vector<std::string>& args) {
  if (!wqt::bench::spawn(args).ok()) throw std::runtime_error("failed: " + args[0] + " " + args[1]);
}

// The peak resident set of this process image in KiB (VmHWM starts afresh at exec; a spawned
// child's getrusage maximum starts from its parent's, and this parent has read the pictures).
long peakRssKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

// Our side, as a program: --fit SOURCE jpg|raw WIDTH HEIGHT OUT [PEAK], PEAK getting the peak
// resident set in KiB.
int fitOnce(int argc, char** argv) {
  const FitTarget target{std::string(argv[3]) == "jpg" ? FileKind::Jpg : FileKind::Raw,
                         std::atoi(argv[4]), std::atoi(argv[5])};
  const wqt::FitOptions options;
  const wqt::SourcePicture source = wqt::readSourceFile(argv[2], {target, options.background});
  const wqt::FitResult result = wqt::fitPicture(source, target, options);
  wqt::writeFileReplacing(argv[6], result.bytes);
  if (argc == 8) std::ofstream(argv[7]) << peakRssKiB();
  return result.refusal ? 1 : 0;
}

RgbPicture readPpm(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  // The header's four words, skipping comment lines (vips writes one).
  std::vector<std::string> words;
  while (words.size() < 4 && in) {
    std::string word;
    in >> word;
    if (!word.empty() && word[0] == '#') {
      std::getline(in, word);
    } else if (!word.empty()) {
      words.push_back(word);
    }
  }
  in.get();
  if (words.size() < 4 || words[0] != "P6" || words[3] != "255") {
    throw std::runtime_error("not an 8-bit PPM: " + path.string());
  }
  RgbPicture p{std::stoi(words[1]), std::stoi(words[2]), {}};
  p.rgb.resize(std::size_t(p.width) * std::size_t(p.height) * 3);
  in.read(reinterpret_cast<char*>(p.rgb.data()), std::streamsize(p.rgb.size()));
  return p;
}

// PSNR over R, G and B, or over luma (BT.601) alone.
double psnr(const RgbPicture& a, const RgbPicture& b, bool luma) {
  if (a.width != b.width || a.height != b.height) throw std::runtime_error("sizes differ");
  double sum = 0;
  std::size_t n = 0;
  for (std::size_t i = 0; i < a.rgb.size(); i += 3) {
    if (luma) {
      auto y = [](const RgbPicture& p, std::size_t j) {
        return 0.299 * p.rgb[j] + 0.587 * p.rgb[j + 1] + 0.114 * p.rgb[j + 2];
      };
      const double d = y(a, i) - y(b, i);
      sum += d * d;
      ++n;
    } else {
      for (std::size_t c = 0; c < 3; ++c) {
        const double d = double(a.rgb[i + c]) - double(b.rgb[i + c]);
        sum += d * d;
        ++n;
      }
    }
  }
  return sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / (sum / double(n)));
}

struct Pair {
  std::string label;
  std::vector<std::string> ours, theirs;
  double goal;
  double bestOurs = 1e9, bestTheirs = 1e9;
  long peakKiB = -1;
};

}  // namespace

int main(int argc, char** argv) {
  if ((argc == 7 || argc == 8) && std::string(argv[1]) == "--fit") return fitOnce(argc, argv);
  const std::string self = fs::canonical("/proc/self/exe").string();
  const fs::path dir = fs::path(self).parent_path() / "fit-inputs";
  fs::create_directories(dir);
  const std::string photo = (dir / "photo.jpg").string(), drawing = (dir / "drawing.png").string();
  const std::string progressive = (dir / "progressive.jpg").string();
  const std::string webp = (dir / "photo.webp").string();
  const std::string heic = (dir / "photo.heic").string(), heicPng = (dir / "photo12.png").string();
  // Detail at every scale, as a photo has, and some hard edges for the filters to ring on; the
  // same scene at any size, each file kept once made.
  const auto makePhoto = [](const std::string& path, int w, int h,
                            const std::vector<std::string>& encoding) {
    if (fs::exists(path)) return;
    std::printf("making %s\n", path.c_str());
    const auto at = [](int x, int y) { return std::to_string(x) + "," + std::to_string(y); };
    std::vector<std::string> args = {
        "convert",
        "-seed",
        "1",
        "-size",
        std::to_string(w) + "x" + std::to_string(h),
        "plasma:fractal",
        "-stroke",
        "#101010",
        "-strokewidth",
        "9",
        "-fill",
        "none",
        "-draw",
        "circle " + at(w / 2, h / 2) + " " + at(w / 2, h / 10),
        "-draw",
        "line " + at(w / 4, h * 3 / 40) + " " + at(w * 3 / 4, h * 37 / 40),
        "-draw",
        "rectangle " + at(w / 3, h / 5) + " " + at(w / 3 + w / 10, h * 4 / 5)};
    args.insert(args.end(), encoding.begin(), encoding.end());
    args.push_back(path);
    mustRun(args);
  };
  makePhoto(photo, 6000, 4000, {"-quality", "92"});
  makePhoto(progressive, 6000, 4000,
            {"-sampling-factor", "2x2", "-interlace", "JPEG", "-quality", "92"});
  makePhoto(webp, 4000, 3000, {"-quality", "90"});
  if (!fs::exists(heic)) {
    makePhoto(heicPng, 4000, 3000, {"-depth", "8", "-alpha", "off"});
    std::printf("making %s\n", heic.c_str());
    mustRun({"vips", "copy", heicPng, heic + "[Q=40]"});
  }
  if (!fs::exists(drawing)) {
    std::printf("making %s\n", drawing.c_str());
    mustRun({"convert", "-size",     "2000x2000",    "xc:none",
             "-fill",   "#3070c0",   "-draw",        "circle 1000,1000 1000,150",
             "-fill",   "#e0a02080", "-draw",        "rectangle 150,150 1100,1100",
             "-stroke", "#202020",   "-strokewidth", "24",
             "-fill",   "none",      "-draw",        "polyline 100,1900 1000,1150 1900,1900",
             "-stroke", "#c03030",   "-draw",        "ellipse 1400,600 400,250 0,360",
             drawing});
  }

  const FitTarget jpg{FileKind::Jpg, 240, 320};
  const wqt::FitOptions options;
  const std::string out = (dir / "out").string();
  fs::create_directories(out);

  // The quality ours chose; the others encode at the same.
  const wqt::SourcePicture photoSource = wqt::readSourceFile(photo, {jpg, options.background});
  const wqt::FitResult fitted = wqt::fitPicture(photoSource, jpg, options);
  const std::string q = std::to_string(fitted.quality);
  const auto qualityOf = [&](const std::string& path) {
    const wqt::SourcePicture source = wqt::readSourceFile(path, {jpg, options.background});
    return std::to_string(wqt::fitPicture(source, jpg, options).quality);
  };
  const std::string progressiveQ = qualityOf(progressive), webpQ = qualityOf(webp),
                    heicQ = qualityOf(heic);

  std::vector<Pair> pairs = {
      {"24 MP JPEG to 240x320 JPG, crop: ImageMagick",
       {self, "--fit", photo, "jpg", "240", "320", out + "/ours.jpg"},
       {"convert", photo, "-resize", "240x320^", "-gravity", "center", "-extent", "240x320",
        "-quality", q, out + "/im.jpg"},
       0.5},
      {"24 MP JPEG to 240x320 JPG, crop: vipsthumbnail",
       {self, "--fit", photo, "jpg", "240", "320", out + "/ours.jpg"},
       {"vipsthumbnail", photo, "-s", "240x320", "-m", "centre", "-o",
        out + "/vips.jpg[Q=" + q + ",optimize_coding,strip]"},
       1.5},
      {"4 MP PNG with alpha to 128x128 RAW, diffusion",
       {self, "--fit", drawing, "raw", "128", "128", out + "/ours.raw"},
       {"convert", drawing, "-background", "black", "-flatten", "-resize", "128x128", "-dither",
        "FloydSteinberg", "-posterize", "32", "BMP3:" + out + "/im.bmp"},
       0.5},
      {"24 MP progressive JPEG to 240x320 JPG, crop: ImageMagick",
       {self, "--fit", progressive, "jpg", "240", "320", out + "/ours-progressive.jpg"},
       {"convert", progressive, "-resize", "240x320^", "-gravity", "center", "-extent", "240x320",
        "-quality", progressiveQ, out + "/im-progressive.jpg"},
       0.5},
      {"24 MP progressive JPEG to 240x320 JPG, crop: vipsthumbnail",
       {self, "--fit", progressive, "jpg", "240", "320", out + "/ours-progressive.jpg"},
       {"vipsthumbnail", progressive, "-s", "240x320", "-m", "centre", "-o",
        out + "/vips-progressive.jpg[Q=" + progressiveQ + ",optimize_coding,strip]"},
       1.5},
      {"12 MP lossy WebP to 240x320 JPG, crop: vipsthumbnail",
       {self, "--fit", webp, "jpg", "240", "320", out + "/ours-webp.jpg"},
       {"vipsthumbnail", webp, "-s", "240x320", "-m", "centre", "-o",
        out + "/vips-webp.jpg[Q=" + webpQ + ",optimize_coding,strip]"},
       1.2},
      {"12 MP HEIC to 240x320 JPG, crop: vipsthumbnail",
       {self, "--fit", heic, "jpg", "240", "320", out + "/ours-heic.jpg"},
       {"vipsthumbnail", heic, "-s", "240x320", "-m", "centre", "-o",
        out + "/vips-heic.jpg[Q=" + heicQ + ",optimize_coding,strip]"},
       1.2},
  };
  for (int round = 0; round < kRounds; ++round) {
    for (Pair& p : pairs) {
      const Ran a = wqt::bench::spawn(p.ours), b = wqt::bench::spawn(p.theirs);
      if (!a.ok() || !b.ok()) {
        std::printf("%s: a run failed\n", p.label.c_str());
        return 1;
      }
      p.bestOurs = std::min(p.bestOurs, a.seconds);
      p.bestTheirs = std::min(p.bestTheirs, b.seconds);
    }
  }

  // Our fit's own peak, in a run of its own.
  for (Pair& p : pairs) {
    const std::string peakFile = out + "/peak.txt";
    std::vector<std::string> args = p.ours;
    args.push_back(peakFile);
    if (wqt::bench::spawn(args).ok()) std::ifstream(peakFile) >> p.peakKiB;
  }

  int missed = 0;
  std::printf("\nFastest of %d interleaved runs each:\n%-58s %10s %10s %7s %5s  %s\n", kRounds,
              "Case", "ours", "theirs", "ratio", "goal", "result");
  for (const Pair& p : pairs) {
    const double ratio = p.bestOurs / p.bestTheirs;
    const bool met = ratio <= p.goal;
    missed += met ? 0 : 1;
    std::printf("%-58s %8.1fms %8.1fms %6.2fx %4.1fx  %s\n", p.label.c_str(), p.bestOurs * 1e3,
                p.bestTheirs * 1e3, ratio, p.goal, met ? "met" : "MISSED");
  }

  // Quality: the reference is ImageMagick's Lanczos of exactly the source rectangle of the crop.
  const wqt::Placement place =
      wqt::placePicture(photoSource.width, photoSource.height, jpg, options);
  char geometry[64];
  std::snprintf(geometry, sizeof geometry, "%.0fx%.0f+%.0f+%.0f", place.source.width,
                place.source.height, place.source.x, place.source.y);
  mustRun({"convert", photo, "-crop", geometry, "+repage", "-filter", "Lanczos", "-resize",
           "240x320!", "-depth", "8", "ppm:" + out + "/reference.ppm"});
  mustRun({"vipsthumbnail", photo, "-s", "240x320", "-m", "centre", "-o", out + "/vips.ppm"});
  mustRun({"convert", photo, "-resize", "240x320^", "-gravity", "center", "-extent", "240x320",
           "-depth", "8", "ppm:" + out + "/im-extent.ppm"});
  const RgbPicture reference = readPpm(out + "/reference.ppm");
  const RgbPicture ours = wqt::resamplePicture(photoSource, jpg, options);
  const double oursRgb = psnr(ours, reference, false);
  std::printf("\nPSNR against ImageMagick's Lanczos of the crop rectangle %s:\n", geometry);
  std::printf("  ours before encoding (RGB)             %5.1f dB  goal %.0f dB  %s\n", oursRgb,
              kPsnrGoal, oursRgb >= kPsnrGoal ? "met" : "MISSED");
  missed += oursRgb >= kPsnrGoal ? 0 : 1;
  std::printf("  ours stored, q%d (luma)                 %5.1f dB\n", fitted.quality,
              psnr(fitted.stored, reference, true));
  std::printf("  vipsthumbnail before encoding (RGB)    %5.1f dB\n",
              psnr(readPpm(out + "/vips.ppm"), reference, false));
  std::printf("  ImageMagick -resize ^ -extent (RGB)    %5.1f dB\n",
              psnr(readPpm(out + "/im-extent.ppm"), reference, false));

  // The resampling alone (pixman's Lanczos-3, one axis at a time), in this process.
  double resampleBest = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    const auto start = std::chrono::steady_clock::now();
    const RgbPicture again = wqt::resamplePicture(photoSource, jpg, options);
    resampleBest =
        std::min(resampleBest,
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::printf("  resampling alone: %.2f ms from the %d x %d picture read for it\n",
              resampleBest * 1e3, photoSource.pixels.width, photoSource.pixels.height);

  // A progressive JPEG's library keeps every coefficient until the last scan; the rest of the
  // fit stays within the margin the reader allows beside them.
  wqt::JpegSession header;
  if (!header.readHeader(wqt::readWholeFile(progressive))) throw std::runtime_error(progressive);
  const double coefficientMiB = double(header.coefficientBytes()) / (1 << 20);
  struct PeakRow {
    const char* label;
    long kib;
    double goalMiB;  // 0: shown only
  };
  const PeakRow peaks[] = {
      {"the 24 MP JPEG", pairs[0].peakKiB, kPeakRssGoalMiB},
      {"the 4 MP PNG", pairs[2].peakKiB, 0},
      {"the progressive JPEG", pairs[3].peakKiB, coefficientMiB + kBeyondCoefficientsMiB},
      {"the WebP", pairs[5].peakKiB, 0},
      {"the HEIC", pairs[6].peakKiB, kPeakRssGoalMiB},
  };
  std::printf(
      "\nPeak RSS of our fit (its own VmHWM); the progressive JPEG's coefficients: %.1f MiB\n",
      coefficientMiB);
  for (const PeakRow& row : peaks) {
    const double mib = double(row.kib) / 1024;
    const bool met = row.kib > 0 && (row.goalMiB == 0 || mib <= row.goalMiB);
    missed += met ? 0 : 1;
    if (row.goalMiB == 0) {
      std::printf("  %-22s %6.1f MiB%s\n", row.label, mib, met ? "" : "  FAILED");
    } else {
      std::printf("  %-22s %6.1f MiB  goal %.1f MiB  %s\n", row.label, mib, row.goalMiB,
                  met ? "met" : "MISSED");
    }
  }
  return missed == 0 ? 0 : 1;
}
