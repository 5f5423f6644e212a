// Choosing a block's level and feedback bytes.
#pragma once

#include "import/block_quantizer.h"
#include "import/encoder.h"

namespace brisca {

struct BlockChoice {
  int level = 0, feedback = 0;
  double error = 0.0;  // of the loop with the nearest bytes
};

// The level and feedback bytes for a block by the chosen search; for kBest a first guess that
// search_block and refine_block improve on.
BlockChoice choose_block(const BlockProblem& p, EncoderSearch search);

// A search of the feedback and level around what was found.
BlockChoice search_block(const BlockProblem& p, const BlockChoice& found);

// A wider search around what search_block found, for the blocks whose error matters most.
BlockChoice refine_block(const BlockProblem& p, const BlockChoice& found);

}  // namespace brisca
