// Choosing a block's level and feedback bytes.
#pragma once

#include "import/block_quantizer.h"
#include "import/encoder.h"

namespace brisca {

struct BlockChoice {
  int level = 0, feedback = 0;
  double error = 0.0;
  SampleBytes bytes{};
};

BlockChoice choose_block(const BlockProblem& p, EncoderSearch search);

}  // namespace brisca
