// Choosing a block's level and feedback bytes.
#pragma once

#include "import/block_quantizer.h"
#include "import/encoder.h"

namespace brisca {

struct BlockChoice {
  int level = 0, feedback = 0;
  double error = 0.0;  // of the loop with the nearest bytes
};

// The level and feedback bytes for a block by the chosen search.
BlockChoice choose_block(const BlockProblem& p, EncoderSearch search);

// A wider search around what choose_block found, for the blocks whose error matters most.
BlockChoice refine_block(const BlockProblem& p, const BlockChoice& found);

}  // namespace brisca
