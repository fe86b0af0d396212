// Module entries over a group factory that fails in one of the ways a host
// must be told about, chosen at compile time.
#include "platform/rtas/errors.h"
#include "platform/rtas/process_group.h"

#include <stdexcept>

namespace {

class ThrowingGroup : public CDSPProcessGroup {
public:
    void Initialize() override { throw CDAEError(-20021); }
    void CreateEffectTypes() override {}
};

} // namespace

CProcessGroup* CProcessGroup::CreateProcessGroup() {
#if defined(RTAS_TEST_NULL_GROUP)
    return nullptr;
#elif defined(RTAS_TEST_DAE_ERROR)
    throw CDAEError(-20021);
#elif defined(RTAS_TEST_INIT_DAE_ERROR)
    return new ThrowingGroup;
#else
    throw std::runtime_error("no group");
#endif
}
