#include "platform/rtas/views.h"

#include "platform/rtas/bundle.h"
#include "platform/rtas/errors.h"
#include "platform/rtas/host.h"

#include <string>
#include <utility>

namespace {

std::vector<std::pair<std::string, ViewCreator>>& viewCreators() {
    static std::vector<std::pair<std::string, ViewCreator>> creators;
    return creators;
}

bool contains(const Rect& rect, Point where) {
    return where.h >= rect.left && where.h < rect.right && where.v >= rect.top &&
           where.v < rect.bottom;
}

bool overlaps(const Rect& a, const Rect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

} // namespace

CPlugInView::~CPlugInView() {
    if (mHolder && *mHolder == this) *mHolder = nullptr;
}

void CCustomView::AddNewViewProc(const char* name, ViewCreator creator) {
    if (!name || !creator) return;
    for (auto& [known, made] : viewCreators()) {
        if (known == name) {
            made = creator;
            return;
        }
    }
    viewCreators().emplace_back(name, creator);
}

CPlugInView* CCustomView::CreateView(const char* name) {
    for (const auto& [known, creator] : viewCreators())
        if (known == name) return creator();
    return nullptr;
}

void CNoResourceView::SetSize(short width, short height) {
    SetRect(Rect{0, 0, height, width});
}

CPlugInView* CNoResourceView::AddView2(const char* description, short left, short top, short width,
                                       short height, long /*flags*/) {
    const CFBundleRef bundle = GetOurBundleRef();
    if (bundle && bundle->host && !bundle->host->CanBuildViews())
        throw CDAEError(kOutOfMemoryError);
    if (!description || description[0] != '!') return nullptr;
    std::string name(description + 1);
    name = name.substr(0, name.find('['));
    std::unique_ptr<CPlugInView> view(CCustomView::CreateView(name.c_str()));
    if (!view) return nullptr;
    view->SetRect(
        Rect{top, left, static_cast<short>(top + height), static_cast<short>(left + width)});
    mViews.push_back(std::move(view));
    return mViews.back().get();
}

void CNoResourceView::DrawContents(Rect* area) {
    for (const auto& view : mViews)
        if (!area || overlaps(*area, view->GetRect())) view->DrawContents(area);
}

void CNoResourceView::MouseCommand(EventRecord* event) {
    if (!event) return;
    for (const auto& view : mViews) {
        if (contains(view->GetRect(), event->where)) {
            view->MouseCommand(event);
            return;
        }
    }
}
