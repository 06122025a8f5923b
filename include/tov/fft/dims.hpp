// Descriptors of batched multi-dimensional FFT problems: dimension records, their canonical form
// (every default stride written in) and the minimum buffer sizes a problem needs.
//
// A problem is (rank, dims, batch): `dims` holds `rank` records, outermost (slowest) first, and
// `batch` one more record whose n counts the transforms and whose strides separate them. Lengths
// count points; strides, extents and sizes count real scalars, a complex point being two. A stride
// of 0 stands for the dense layout, built from the innermost record outwards:
//   - the innermost complex-to-complex (CC) record takes 2 on each side;
//   - every other record takes what the record inside it passes on: its stride times its n, or for
//     the innermost real-to-complex (RC) record its padded length (n | 1) + 1 (in place, and on the
//     complex output side) or n (real input side of an out-of-place problem);
//   - with rank 0 the batch takes one point: 2, or 1 on the real input side of an RC problem.
// The innermost RC record has fixed strides (in place 1; out of place 1 in, 2 out).
//
// Nothing is validated; record arithmetic wraps in 64 bits.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "tov/export.hpp"

namespace tov::fft {

// One dimension of an in-place problem: input and output share the buffer and the stride.
struct InplaceDim {
  std::int64_t n;
  std::int64_t stride;  // scalars between neighbouring points; 0 = dense default
  // Room the calling interface keeps in every record; this library never reads it. Canonicalization
  // clears it in every record it handles except the innermost
  // record of an RC problem, which it leaves untouched.
  std::uint64_t reserved;
};

// One dimension of an out-of-place problem, with a stride for each side ("Ooplace": the calling
// interface's short name for out of place).
struct OoplaceDim {
  std::int64_t n;
  std::int64_t istride;  // input side; 0 = dense default
  std::int64_t ostride;  // output side; 0 = dense default
};

// "{n, stride}" (reserved is not shown) and "{n, istride, ostride}", in plain decimal.
TOV_API std::string toString(const InplaceDim& dim);
TOV_API std::string toString(const OoplaceDim& dim);

// Canonicalization, in place: zero strides take their dense defaults, a batch n of 0 becomes 1,
// the fixed RC innermost strides are written. Returns the largest extent (stride times n of a
// record, or what the RC innermost record passes on), compared as unsigned numbers, so a negative
// product wins over any positive one. Out of place: input side first, output side second.
// With rank 0, `dims` is not read and may be null.
TOV_API std::uint64_t canonicalizeCC(unsigned long rank, InplaceDim* dims, InplaceDim* batch);
TOV_API std::pair<std::uint64_t, std::uint64_t> canonicalizeCC(unsigned long rank, OoplaceDim* dims,
                                                               OoplaceDim* batch);
TOV_API std::uint64_t canonicalizeRC(unsigned long rank, InplaceDim* dims, InplaceDim* batch);
TOV_API std::pair<std::uint64_t, std::uint64_t> canonicalizeRC(unsigned long rank, OoplaceDim* dims,
                                                               OoplaceDim* batch);

// Minimum buffer sizes in scalars: one more than the offset of the last scalar the problem
// touches, for positive lengths and non-negative strides. The records are only read; zero
// strides take the same defaults as canonicalization, so the result is the same before and after
// it. A batch n below 2 adds nothing. With rank 0 in an RC problem a batch stride below one point
// counts as one point. Out of place: input buffer first, output buffer second.
TOV_API std::int64_t getMinSizeCC(unsigned long rank, const InplaceDim* dims,
                                  const InplaceDim* batch);
TOV_API std::pair<std::int64_t, std::int64_t> getMinSizeCC(unsigned long rank,
                                                           const OoplaceDim* dims,
                                                           const OoplaceDim* batch);
TOV_API std::int64_t getMinSizeRC(unsigned long rank, const InplaceDim* dims,
                                  const InplaceDim* batch);
TOV_API std::pair<std::int64_t, std::int64_t> getMinSizeRC(unsigned long rank,
                                                           const OoplaceDim* dims,
                                                           const OoplaceDim* batch);

}  // namespace tov::fft
