// Small geometry classes of the older filter generation: 2- and 3-component vectors in Single and
// a 4 x 4 matrix in double.
#pragma once
// Replays of old recordings must give the pictures those recordings were made with, so the
// precision of each class is part of its contract: vector components are held as Singles (every
// operation computes in double and rounds the result to Single), the matrix in double.
#include <cstdint>

namespace tf {

class TVector2 {
 public:
  float x = 0.0f;
  float y = 0.0f;

  // x' = cos(a)x - sin(a)y, y' = sin(a)x + cos(a)y.
  void Rotate(double angle);
  // sqrt(x^2 + y^2) as a Single.
  float Length() const;
  void Scale(double k);
};

class TVector3 {
 public:
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;

  void Set(double nx, double ny, double nz);
  double Dot(const TVector3& v) const;
  double Length() const;
  // Scaled to length len; the zero vector stays zero.
  void SetLength(double len);
  // The distance to v (0 for equal vectors).
  double Distance(const TVector3& v) const;
  // this := this - v.
  void Subtract(const TVector3& v);
  // Turns about the y and z axes through a T44Matrix.
  void RotateY(double angle);
  void RotateZ(double angle);
};

class T44Matrix {
 public:
  double m[4][4];  // m[row][column]

  T44Matrix() { Identity(); }
  void Identity();
  // Identity with m00 = cos, m02 = sin, m20 = -sin, m22 = cos.
  void RotationY(double angle);
  // Identity with m00 = cos, m01 = sin, m10 = -sin, m11 = cos.
  void RotationZ(double angle);
  // out := v as a row vector times the upper 3 x 3 part (out.x = x m00 + y m10 + z m20, ...).
  void Transform(const TVector3& v, TVector3& out) const;
};

}  // namespace tf
