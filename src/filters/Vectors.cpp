#include "filters/Vectors.h"

#include <cmath>

namespace tf {

void TVector2::Rotate(double angle) {
  const double c = std::cos(angle), s = std::sin(angle);
  const double nx = c * x - s * y, ny = s * x + c * y;
  x = static_cast<float>(nx);
  y = static_cast<float>(ny);
}

float TVector2::Length() const {
  return static_cast<float>(std::sqrt(double{x} * x + double{y} * y));
}

void TVector2::Scale(double k) {
  x = static_cast<float>(x * k);
  y = static_cast<float>(y * k);
}

void TVector3::Set(double nx, double ny, double nz) {
  x = static_cast<float>(nx);
  y = static_cast<float>(ny);
  z = static_cast<float>(nz);
}

double TVector3::Dot(const TVector3& v) const { return double{x} * v.x + double{y} * v.y + double{z} * v.z; }

double TVector3::Length() const { return std::sqrt(Dot(*this)); }

void TVector3::SetLength(double len) {
  const double l = Length();
  if (l == 0.0) return;
  const double k = len / l;
  Set(x * k, y * k, z * k);
}

double TVector3::Distance(const TVector3& v) const {
  const double dx = double{x} - v.x, dy = double{y} - v.y, dz = double{z} - v.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

void TVector3::Subtract(const TVector3& v) { Set(double{x} - v.x, double{y} - v.y, double{z} - v.z); }

void TVector3::RotateY(double angle) {
  T44Matrix m;
  m.RotationY(angle);
  TVector3 out;
  m.Transform(*this, out);
  *this = out;
}

void TVector3::RotateZ(double angle) {
  T44Matrix m;
  m.RotationZ(angle);
  TVector3 out;
  m.Transform(*this, out);
  *this = out;
}

void T44Matrix::Identity() {
  for (int32_t r = 0; r < 4; ++r)
    for (int32_t c = 0; c < 4; ++c) m[r][c] = r == c ? 1.0 : 0.0;
}

void T44Matrix::RotationY(double angle) {
  Identity();
  const double c = std::cos(angle), s = std::sin(angle);
  m[0][0] = c;
  m[0][2] = s;
  m[2][0] = -s;
  m[2][2] = c;
}

void T44Matrix::RotationZ(double angle) {
  Identity();
  const double c = std::cos(angle), s = std::sin(angle);
  m[0][0] = c;
  m[0][1] = s;
  m[1][0] = -s;
  m[1][1] = c;
}

void T44Matrix::Transform(const TVector3& v, TVector3& out) const {
  const double x = v.x, y = v.y, z = v.z;
  out.Set(x * m[0][0] + y * m[1][0] + z * m[2][0], x * m[0][1] + y * m[1][1] + z * m[2][1],
          x * m[0][2] + y * m[1][2] + z * m[2][2]);
}

}  // namespace tf
