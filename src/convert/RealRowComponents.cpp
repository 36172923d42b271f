#include "convert/RealRowComponents.h"

#include "components/audio/TAudioFile2.h"
#include "components/audio/TAudioFile2LameEnc.h"

namespace snipwave {

RowComponents MakeRealRowComponents() {
  RowComponents set;
  set.reader = std::make_shared<TAudioFile2>();
  set.writer = std::make_shared<TAudioFile2>();
  set.checker = std::make_shared<TAudioFile2>();
  set.encoder = std::make_shared<TAudioFile2LameEnc>();
  set.reader->SetInitFlag(true);
  set.writer->SetInitFlag(true);
  return set;
}

}  // namespace snipwave
