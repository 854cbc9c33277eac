#include "staging/system_error_text.h"

#include <cerrno>
#include <cstring>

std::string SystemErrorText(int errnum) {
  switch (errnum) {
    case ENOENT: return "a pasta ou o arquivo não existe";
    case EACCES:
    case EPERM: return "permissão negada";
    case EROFS: return "o disco é somente para leitura";
    case ENOSPC: return "não há espaço livre no disco";
#ifdef EDQUOT
    case EDQUOT: return "a cota de disco foi excedida";
#endif
    case ENOTDIR: return "o caminho não é uma pasta";
    case EISDIR: return "o caminho é uma pasta";
    case EEXIST: return "o arquivo já existe";
    case EIO: return "erro de leitura ou gravação no disco";
    case ENAMETOOLONG: return "o nome do arquivo é longo demais";
    case EMFILE:
    case ENFILE: return "há arquivos abertos demais";
    case ELOOP: return "o caminho passa por links simbólicos demais (ou é um link)";
    case EFBIG: return "o arquivo ficaria maior do que o sistema de arquivos permite";
    case EBUSY:
    case ETXTBSY: return "o arquivo ou a pasta está em uso por outro programa";
    case ENOMEM: return "não há memória suficiente";
    case EINVAL: return "o nome ou a operação não é aceito por este sistema de arquivos";
    case ENODEV:
    case ENXIO: return "o dispositivo não existe ou não está disponível";
    case EXDEV: return "a operação passaria de um disco para outro";
    case ENOTEMPTY: return "a pasta não está vazia";
    case EAGAIN: return "o recurso está temporariamente indisponível; tente de novo";
    case EINTR: return "a operação foi interrompida";
#ifdef ESTALE
    case ESTALE: return "a pasta de rede deixou de estar disponível";
#endif
#ifdef ETIMEDOUT
    case ETIMEDOUT: return "o tempo de espera se esgotou (pasta de rede?)";
#endif
    default: return "erro do sistema número " + std::to_string(errnum) + " (" + std::strerror(errnum) + ")";
  }
}

std::string SystemErrorText(const std::error_code& ec) {
  if (!ec) return "erro desconhecido";
  if (ec.category() == std::generic_category() || ec.category() == std::system_category())
    return SystemErrorText(ec.value());
  return ec.message();
}
