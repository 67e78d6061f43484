// The wizard's texts in every language, in InstallerText order.
#include "app/languages.h"

// Unsized, so that a language too many or too few conflicts with the declaration.
const InstallerLanguage g_installerLanguages[] = {
    InstallerLanguageEntry("pt", 1252, L"Português", {
        L"Instalador do Quorvel",  // WindowTitle
        L"Bem-vindo",  // StepWelcome
        L"Pasta",  // StepFolder
        L"Resumo",  // StepSummary
        L"Instalação",  // StepInstalling
        L"Concluído",  // StepFinished
        L"Bem-vindo ao Quorvel",  // WelcomeTitle
        L"Este assistente vai instalar o jogo no teu computador. Escolhe a língua e carrega em Seguinte para continuar.",  // WelcomeText
        L"Língua do jogo",  // GameLanguageLabel
        L"Versão",  // VersionLabel
        L"Tamanho do jogo",  // GameSizeLabel
        L"Foi encontrada uma instalação. Os ficheiros vão ser verificados e reparados.",  // ExistingInstallNote
        L"Onde queres instalar o jogo?",  // FolderTitle
        L"O Quorvel será instalado nesta pasta.",  // FolderText
        L"Procurar...",  // BrowseButton
        L"Espaço necessário",  // SpaceRequiredLabel
        L"Espaço disponível",  // SpaceAvailableLabel
        L"Pronto para instalar",  // SummaryTitle
        L"Confirma as opções e carrega em Instalar.",  // SummaryText
        L"Pasta de instalação",  // InstallFolderLabel
        L"Criar atalho no ambiente de trabalho",  // DesktopShortcutOption
        L"Criar atalho no menu Iniciar",  // StartMenuShortcutOption
        L"A instalar o Quorvel",  // InstallingTitle
        L"A ligar ao servidor...",  // StatusConnecting
        L"A verificar os ficheiros...",  // StatusChecking
        L"A descarregar o jogo...",  // StatusDownloading
        L"A concluir a instalação...",  // StatusFinishing
        L"Velocidade",  // SpeedLabel
        L"Tempo restante",  // TimeLeftLabel
        L"Transferido",  // DownloadedLabel
        L"Instalação concluída",  // FinishedTitle
        L"O Quorvel está pronto a jogar. Boa sorte, guerreiro!",  // FinishedText
        L"Abrir o Quorvel agora",  // LaunchOption
        L"Anterior",  // BackButton
        L"Seguinte",  // NextButton
        L"Instalar",  // InstallButton
        L"Cancelar",  // CancelButton
        L"Concluir",  // FinishButton
        L"Tentar de novo",  // RetryButton
        L"Queres cancelar a instalação? O que já foi transferido fica guardado.",  // CancelQuestion
        L"Sim",  // YesButton
        L"Não",  // NoButton
        L"Esta pasta não é válida. Escolhe uma pasta num disco local.",  // ErrorFolderInvalid
        L"Não há espaço livre suficiente neste disco.",  // ErrorNoSpace
        L"Não é possível escrever nesta pasta. Escolhe outra.",  // ErrorNotWritable
        L"O Quorvel está aberto. Fecha-o e tenta outra vez.",  // ErrorGameRunning
        L"A instalação foi interrompida.",  // ErrorInterrupted
        L"Desinstalar o Quorvel",  // UninstallTitle
        L"O jogo vai ser removido deste computador.",  // UninstallText
        L"Manter as capturas de ecrã e as definições",  // KeepUserDataOption
        L"Desinstalar",  // UninstallButton
        L"A remover os ficheiros...",  // StatusRemoving
        L"Desinstalação concluída",  // UninstallDoneTitle
        L"O Quorvel foi removido deste computador.",  // UninstallDoneText
        L"Fechar",  // CloseButton
        L"Minimizar",  // MinimiseButton
        L"Premir",  // ActionPress
        L"Marcar",  // ActionCheck
        L"Desmarcar",  // ActionUncheck
        L"Abrir",  // ActionOpen
        L"Fechar",  // ActionClose
        L"Escolher",  // ActionChoose
        L"A cancelar a instalação...",  // StatusCancelling
        L"O Quorvel não está instalado nesta pasta.",  // ErrorNoInstallation
        L"Progresso da instalação",  // InstallProgressName
        L"Progresso da remoção",  // RemovalProgressName
        L"Espaço ocupado",  // SpaceUsedName
        L"O espaço necessário inclui margem para os ficheiros temporários do download.",  // SpaceRequiredNote
        L"O valor de --limit-rate não é válido. Indica bytes por segundo, por exemplo 500k ou 2M.",  // ErrorLimitRate
        L"Não foi possível remover alguns ficheiros. Fecha os programas que os estão a usar e volta a desinstalar o Quorvel.",  // UninstallLeftText
    }),
    InstallerLanguageEntry("en", 1252, L"English", {
        L"Quorvel Setup",  // WindowTitle
        L"Welcome",  // StepWelcome
        L"Folder",  // StepFolder
        L"Summary",  // StepSummary
        L"Installing",  // StepInstalling
        L"Finished",  // StepFinished
        L"Welcome to Quorvel",  // WelcomeTitle
        L"This wizard will install the game on your computer. Choose your language and click Next to continue.",  // WelcomeText
        L"Game language",  // GameLanguageLabel
        L"Version",  // VersionLabel
        L"Game size",  // GameSizeLabel
        L"An existing installation was found. Its files will be checked and repaired.",  // ExistingInstallNote
        L"Where do you want to install the game?",  // FolderTitle
        L"Quorvel will be installed in this folder.",  // FolderText
        L"Browse...",  // BrowseButton
        L"Space required",  // SpaceRequiredLabel
        L"Space available",  // SpaceAvailableLabel
        L"Ready to install",  // SummaryTitle
        L"Review your options and click Install.",  // SummaryText
        L"Installation folder",  // InstallFolderLabel
        L"Create a desktop shortcut",  // DesktopShortcutOption
        L"Create a Start menu shortcut",  // StartMenuShortcutOption
        L"Installing Quorvel",  // InstallingTitle
        L"Connecting to the server...",  // StatusConnecting
        L"Checking files...",  // StatusChecking
        L"Downloading the game...",  // StatusDownloading
        L"Finishing the installation...",  // StatusFinishing
        L"Speed",  // SpeedLabel
        L"Time left",  // TimeLeftLabel
        L"Downloaded",  // DownloadedLabel
        L"Installation complete",  // FinishedTitle
        L"Quorvel is ready to play. Good luck, warrior!",  // FinishedText
        L"Open Quorvel now",  // LaunchOption
        L"Back",  // BackButton
        L"Next",  // NextButton
        L"Install",  // InstallButton
        L"Cancel",  // CancelButton
        L"Finish",  // FinishButton
        L"Try again",  // RetryButton
        L"Do you want to cancel the installation? Everything downloaded so far is kept.",  // CancelQuestion
        L"Yes",  // YesButton
        L"No",  // NoButton
        L"This folder is not valid. Choose a folder on a local drive.",  // ErrorFolderInvalid
        L"There is not enough free space on this drive.",  // ErrorNoSpace
        L"You cannot write to this folder. Choose another one.",  // ErrorNotWritable
        L"Quorvel is open. Close it and try again.",  // ErrorGameRunning
        L"The installation was interrupted.",  // ErrorInterrupted
        L"Uninstall Quorvel",  // UninstallTitle
        L"The game will be removed from this computer.",  // UninstallText
        L"Keep my screenshots and settings",  // KeepUserDataOption
        L"Uninstall",  // UninstallButton
        L"Removing files...",  // StatusRemoving
        L"Uninstall complete",  // UninstallDoneTitle
        L"Quorvel was removed from this computer.",  // UninstallDoneText
        L"Close",  // CloseButton
        L"Minimise",  // MinimiseButton
        L"Press",  // ActionPress
        L"Check",  // ActionCheck
        L"Uncheck",  // ActionUncheck
        L"Open",  // ActionOpen
        L"Close",  // ActionClose
        L"Choose",  // ActionChoose
        L"Cancelling the installation...",  // StatusCancelling
        L"Quorvel is not installed in this folder.",  // ErrorNoInstallation
        L"Installation progress",  // InstallProgressName
        L"Removal progress",  // RemovalProgressName
        L"Space used",  // SpaceUsedName
        L"The space required includes room for temporary files while the game downloads.",  // SpaceRequiredNote
        L"The value of --limit-rate is not valid. Give bytes per second, for example 500k or 2M.",  // ErrorLimitRate
        L"Some files could not be removed. Close the programs that use them, then uninstall Quorvel again.",  // UninstallLeftText
    }),
    InstallerLanguageEntry("es", 1252, L"Español", {
        L"Instalador de Quorvel",  // WindowTitle
        L"Bienvenida",  // StepWelcome
        L"Carpeta",  // StepFolder
        L"Resumen",  // StepSummary
        L"Instalación",  // StepInstalling
        L"Finalizado",  // StepFinished
        L"Te damos la bienvenida a Quorvel",  // WelcomeTitle
        L"Este asistente instalará el juego en tu ordenador. Elige tu idioma y pulsa Siguiente para continuar.",  // WelcomeText
        L"Idioma del juego",  // GameLanguageLabel
        L"Versión",  // VersionLabel
        L"Tamaño del juego",  // GameSizeLabel
        L"Se ha encontrado una instalación. Sus archivos se comprobarán y repararán.",  // ExistingInstallNote
        L"¿Dónde quieres instalar el juego?",  // FolderTitle
        L"Quorvel se instalará en esta carpeta.",  // FolderText
        L"Examinar...",  // BrowseButton
        L"Espacio necesario",  // SpaceRequiredLabel
        L"Espacio disponible",  // SpaceAvailableLabel
        L"Listo para instalar",  // SummaryTitle
        L"Revisa las opciones y pulsa Instalar.",  // SummaryText
        L"Carpeta de instalación",  // InstallFolderLabel
        L"Crear un acceso directo en el escritorio",  // DesktopShortcutOption
        L"Crear un acceso directo en el menú Inicio",  // StartMenuShortcutOption
        L"Instalando Quorvel",  // InstallingTitle
        L"Conectando con el servidor...",  // StatusConnecting
        L"Comprobando los archivos...",  // StatusChecking
        L"Descargando el juego...",  // StatusDownloading
        L"Finalizando la instalación...",  // StatusFinishing
        L"Velocidad",  // SpeedLabel
        L"Tiempo restante",  // TimeLeftLabel
        L"Descargado",  // DownloadedLabel
        L"Instalación completada",  // FinishedTitle
        L"Quorvel está listo para jugar. ¡Buena suerte, guerrero!",  // FinishedText
        L"Abrir Quorvel ahora",  // LaunchOption
        L"Atrás",  // BackButton
        L"Siguiente",  // NextButton
        L"Instalar",  // InstallButton
        L"Cancelar",  // CancelButton
        L"Finalizar",  // FinishButton
        L"Reintentar",  // RetryButton
        L"¿Quieres cancelar la instalación? Lo descargado hasta ahora se conserva.",  // CancelQuestion
        L"Sí",  // YesButton
        L"No",  // NoButton
        L"Esta carpeta no es válida. Elige una carpeta en un disco local.",  // ErrorFolderInvalid
        L"No hay suficiente espacio libre en este disco.",  // ErrorNoSpace
        L"No se puede escribir en esta carpeta. Elige otra.",  // ErrorNotWritable
        L"Quorvel está abierto. Ciérralo e inténtalo de nuevo.",  // ErrorGameRunning
        L"La instalación se ha interrumpido.",  // ErrorInterrupted
        L"Desinstalar Quorvel",  // UninstallTitle
        L"El juego se eliminará de este ordenador.",  // UninstallText
        L"Conservar mis capturas y ajustes",  // KeepUserDataOption
        L"Desinstalar",  // UninstallButton
        L"Eliminando archivos...",  // StatusRemoving
        L"Desinstalación completada",  // UninstallDoneTitle
        L"Quorvel se ha eliminado de este ordenador.",  // UninstallDoneText
        L"Cerrar",  // CloseButton
        L"Minimizar",  // MinimiseButton
        L"Pulsar",  // ActionPress
        L"Marcar",  // ActionCheck
        L"Desmarcar",  // ActionUncheck
        L"Abrir",  // ActionOpen
        L"Cerrar",  // ActionClose
        L"Elegir",  // ActionChoose
        L"Cancelando la instalación...",  // StatusCancelling
        L"Quorvel no está instalado en esta carpeta.",  // ErrorNoInstallation
        L"Progreso de la instalación",  // InstallProgressName
        L"Progreso de la eliminación",  // RemovalProgressName
        L"Espacio ocupado",  // SpaceUsedName
        L"El espacio necesario incluye margen para los archivos temporales de la descarga.",  // SpaceRequiredNote
        L"El valor de --limit-rate no es válido. Indica bytes por segundo, por ejemplo 500k o 2M.",  // ErrorLimitRate
        L"No se han podido eliminar algunos archivos. Cierra los programas que los usan y vuelve a desinstalar Quorvel.",  // UninstallLeftText
    }),
    InstallerLanguageEntry("fr", 1252, L"Français", {
        L"Installation de Quorvel",  // WindowTitle
        L"Bienvenue",  // StepWelcome
        L"Dossier",  // StepFolder
        L"Résumé",  // StepSummary
        L"Installation",  // StepInstalling
        L"Terminé",  // StepFinished
        L"Bienvenue dans Quorvel",  // WelcomeTitle
        L"Cet assistant va installer le jeu sur votre ordinateur. Choisissez votre langue puis cliquez sur Suivant.",  // WelcomeText
        L"Langue du jeu",  // GameLanguageLabel
        L"Version",  // VersionLabel
        L"Taille du jeu",  // GameSizeLabel
        L"Une installation a été trouvée. Ses fichiers seront vérifiés et réparés.",  // ExistingInstallNote
        L"Où voulez-vous installer le jeu ?",  // FolderTitle
        L"Quorvel sera installé dans ce dossier.",  // FolderText
        L"Parcourir...",  // BrowseButton
        L"Espace requis",  // SpaceRequiredLabel
        L"Espace disponible",  // SpaceAvailableLabel
        L"Prêt à installer",  // SummaryTitle
        L"Vérifiez vos options puis cliquez sur Installer.",  // SummaryText
        L"Dossier d'installation",  // InstallFolderLabel
        L"Créer un raccourci sur le bureau",  // DesktopShortcutOption
        L"Créer un raccourci dans le menu Démarrer",  // StartMenuShortcutOption
        L"Installation de Quorvel",  // InstallingTitle
        L"Connexion au serveur...",  // StatusConnecting
        L"Vérification des fichiers...",  // StatusChecking
        L"Téléchargement du jeu...",  // StatusDownloading
        L"Finalisation de l'installation...",  // StatusFinishing
        L"Vitesse",  // SpeedLabel
        L"Temps restant",  // TimeLeftLabel
        L"Téléchargé",  // DownloadedLabel
        L"Installation terminée",  // FinishedTitle
        L"Quorvel est prêt. Bonne chance, guerrier !",  // FinishedText
        L"Ouvrir Quorvel maintenant",  // LaunchOption
        L"Précédent",  // BackButton
        L"Suivant",  // NextButton
        L"Installer",  // InstallButton
        L"Annuler",  // CancelButton
        L"Terminer",  // FinishButton
        L"Réessayer",  // RetryButton
        L"Voulez-vous annuler l'installation ? Les fichiers déjà téléchargés sont conservés.",  // CancelQuestion
        L"Oui",  // YesButton
        L"Non",  // NoButton
        L"Ce dossier n'est pas valide. Choisissez un dossier sur un disque local.",  // ErrorFolderInvalid
        L"Il n'y a pas assez d'espace libre sur ce disque.",  // ErrorNoSpace
        L"Impossible d'écrire dans ce dossier. Choisissez-en un autre.",  // ErrorNotWritable
        L"Quorvel est ouvert. Fermez-le puis réessayez.",  // ErrorGameRunning
        L"L'installation a été interrompue.",  // ErrorInterrupted
        L"Désinstaller Quorvel",  // UninstallTitle
        L"Le jeu sera supprimé de cet ordinateur.",  // UninstallText
        L"Conserver mes captures d'écran et réglages",  // KeepUserDataOption
        L"Désinstaller",  // UninstallButton
        L"Suppression des fichiers...",  // StatusRemoving
        L"Désinstallation terminée",  // UninstallDoneTitle
        L"Quorvel a été supprimé de cet ordinateur.",  // UninstallDoneText
        L"Fermer",  // CloseButton
        L"Réduire",  // MinimiseButton
        L"Appuyer",  // ActionPress
        L"Cocher",  // ActionCheck
        L"Décocher",  // ActionUncheck
        L"Ouvrir",  // ActionOpen
        L"Fermer",  // ActionClose
        L"Choisir",  // ActionChoose
        L"Annulation de l'installation...",  // StatusCancelling
        L"Quorvel n'est pas installé dans ce dossier.",  // ErrorNoInstallation
        L"Progression de l'installation",  // InstallProgressName
        L"Progression de la désinstallation",  // RemovalProgressName
        L"Espace occupé",  // SpaceUsedName
        L"L'espace requis comprend la place pour les fichiers temporaires du téléchargement.",  // SpaceRequiredNote
        L"La valeur de --limit-rate n'est pas valide. Indiquez un nombre d'octets par seconde, par exemple 500k ou 2M.",  // ErrorLimitRate
        L"Certains fichiers n'ont pas pu être supprimés. Fermez les programmes qui les utilisent, puis désinstallez de nouveau Quorvel.",  // UninstallLeftText
    }),
    InstallerLanguageEntry("de", 1252, L"Deutsch", {
        L"Quorvel Setup",  // WindowTitle
        L"Willkommen",  // StepWelcome
        L"Ordner",  // StepFolder
        L"Übersicht",  // StepSummary
        L"Installation",  // StepInstalling
        L"Fertig",  // StepFinished
        L"Willkommen bei Quorvel",  // WelcomeTitle
        L"Dieser Assistent installiert das Spiel auf deinem Computer. Wähle deine Sprache und klicke auf Weiter.",  // WelcomeText
        L"Spielsprache",  // GameLanguageLabel
        L"Version",  // VersionLabel
        L"Spielgröße",  // GameSizeLabel
        L"Eine vorhandene Installation wurde gefunden. Ihre Dateien werden geprüft und repariert.",  // ExistingInstallNote
        L"Wo soll das Spiel installiert werden?",  // FolderTitle
        L"Quorvel wird in diesem Ordner installiert.",  // FolderText
        L"Durchsuchen...",  // BrowseButton
        L"Benötigter Speicher",  // SpaceRequiredLabel
        L"Verfügbarer Speicher",  // SpaceAvailableLabel
        L"Bereit zur Installation",  // SummaryTitle
        L"Prüfe deine Optionen und klicke auf Installieren.",  // SummaryText
        L"Installationsordner",  // InstallFolderLabel
        L"Desktop-Verknüpfung erstellen",  // DesktopShortcutOption
        L"Startmenü-Verknüpfung erstellen",  // StartMenuShortcutOption
        L"Quorvel wird installiert",  // InstallingTitle
        L"Verbindung zum Server...",  // StatusConnecting
        L"Dateien werden geprüft...",  // StatusChecking
        L"Spiel wird heruntergeladen...",  // StatusDownloading
        L"Installation wird abgeschlossen...",  // StatusFinishing
        L"Geschwindigkeit",  // SpeedLabel
        L"Restzeit",  // TimeLeftLabel
        L"Heruntergeladen",  // DownloadedLabel
        L"Installation abgeschlossen",  // FinishedTitle
        L"Quorvel ist spielbereit. Viel Glück, Krieger!",  // FinishedText
        L"Quorvel jetzt öffnen",  // LaunchOption
        L"Zurück",  // BackButton
        L"Weiter",  // NextButton
        L"Installieren",  // InstallButton
        L"Abbrechen",  // CancelButton
        L"Fertigstellen",  // FinishButton
        L"Erneut versuchen",  // RetryButton
        L"Installation abbrechen? Bereits heruntergeladene Dateien bleiben erhalten.",  // CancelQuestion
        L"Ja",  // YesButton
        L"Nein",  // NoButton
        L"Dieser Ordner ist ungültig. Wähle einen Ordner auf einem lokalen Laufwerk.",  // ErrorFolderInvalid
        L"Auf diesem Laufwerk ist nicht genug Speicher frei.",  // ErrorNoSpace
        L"In diesen Ordner kann nicht geschrieben werden. Wähle einen anderen.",  // ErrorNotWritable
        L"Quorvel ist geöffnet. Schließe es und versuche es erneut.",  // ErrorGameRunning
        L"Die Installation wurde unterbrochen.",  // ErrorInterrupted
        L"Quorvel deinstallieren",  // UninstallTitle
        L"Das Spiel wird von diesem Computer entfernt.",  // UninstallText
        L"Screenshots und Einstellungen behalten",  // KeepUserDataOption
        L"Deinstallieren",  // UninstallButton
        L"Dateien werden entfernt...",  // StatusRemoving
        L"Deinstallation abgeschlossen",  // UninstallDoneTitle
        L"Quorvel wurde von diesem Computer entfernt.",  // UninstallDoneText
        L"Schließen",  // CloseButton
        L"Minimieren",  // MinimiseButton
        L"Drücken",  // ActionPress
        L"Aktivieren",  // ActionCheck
        L"Deaktivieren",  // ActionUncheck
        L"Öffnen",  // ActionOpen
        L"Schließen",  // ActionClose
        L"Auswählen",  // ActionChoose
        L"Installation wird abgebrochen...",  // StatusCancelling
        L"Quorvel ist in diesem Ordner nicht installiert.",  // ErrorNoInstallation
        L"Installationsfortschritt",  // InstallProgressName
        L"Fortschritt der Deinstallation",  // RemovalProgressName
        L"Belegter Speicher",  // SpaceUsedName
        L"Der benötigte Speicher enthält Platz für temporäre Dateien während des Downloads.",  // SpaceRequiredNote
        L"Der Wert von --limit-rate ist ungültig. Gib Bytes pro Sekunde an, zum Beispiel 500k oder 2M.",  // ErrorLimitRate
        L"Einige Dateien konnten nicht entfernt werden. Schließe die Programme, die sie verwenden, und deinstalliere Quorvel erneut.",  // UninstallLeftText
    }),
    InstallerLanguageEntry("it", 1252, L"Italiano", {
        L"Installazione di Quorvel",  // WindowTitle
        L"Benvenuto",  // StepWelcome
        L"Cartella",  // StepFolder
        L"Riepilogo",  // StepSummary
        L"Installazione",  // StepInstalling
        L"Completato",  // StepFinished
        L"Benvenuto in Quorvel",  // WelcomeTitle
        L"Questa procedura installerà il gioco sul tuo computer. Scegli la lingua e fai clic su Avanti per continuare.",  // WelcomeText
        L"Lingua del gioco",  // GameLanguageLabel
        L"Versione",  // VersionLabel
        L"Dimensione del gioco",  // GameSizeLabel
        L"È stata trovata un'installazione. I suoi file verranno controllati e riparati.",  // ExistingInstallNote
        L"Dove vuoi installare il gioco?",  // FolderTitle
        L"Quorvel verrà installato in questa cartella.",  // FolderText
        L"Sfoglia...",  // BrowseButton
        L"Spazio richiesto",  // SpaceRequiredLabel
        L"Spazio disponibile",  // SpaceAvailableLabel
        L"Pronto per l'installazione",  // SummaryTitle
        L"Controlla le opzioni e fai clic su Installa.",  // SummaryText
        L"Cartella di installazione",  // InstallFolderLabel
        L"Crea un collegamento sul desktop",  // DesktopShortcutOption
        L"Crea un collegamento nel menu Start",  // StartMenuShortcutOption
        L"Installazione di Quorvel",  // InstallingTitle
        L"Connessione al server...",  // StatusConnecting
        L"Controllo dei file...",  // StatusChecking
        L"Download del gioco...",  // StatusDownloading
        L"Completamento dell'installazione...",  // StatusFinishing
        L"Velocità",  // SpeedLabel
        L"Tempo rimanente",  // TimeLeftLabel
        L"Scaricato",  // DownloadedLabel
        L"Installazione completata",  // FinishedTitle
        L"Quorvel è pronto. Buona fortuna, guerriero!",  // FinishedText
        L"Apri Quorvel ora",  // LaunchOption
        L"Indietro",  // BackButton
        L"Avanti",  // NextButton
        L"Installa",  // InstallButton
        L"Annulla",  // CancelButton
        L"Fine",  // FinishButton
        L"Riprova",  // RetryButton
        L"Vuoi annullare l'installazione? I file già scaricati vengono conservati.",  // CancelQuestion
        L"Sì",  // YesButton
        L"No",  // NoButton
        L"Questa cartella non è valida. Scegli una cartella su un disco locale.",  // ErrorFolderInvalid
        L"Spazio libero insufficiente su questo disco.",  // ErrorNoSpace
        L"Impossibile scrivere in questa cartella. Scegline un'altra.",  // ErrorNotWritable
        L"Quorvel è aperto. Chiudilo e riprova.",  // ErrorGameRunning
        L"L'installazione è stata interrotta.",  // ErrorInterrupted
        L"Disinstalla Quorvel",  // UninstallTitle
        L"Il gioco verrà rimosso da questo computer.",  // UninstallText
        L"Conserva screenshot e impostazioni",  // KeepUserDataOption
        L"Disinstalla",  // UninstallButton
        L"Rimozione dei file...",  // StatusRemoving
        L"Disinstallazione completata",  // UninstallDoneTitle
        L"Quorvel è stato rimosso da questo computer.",  // UninstallDoneText
        L"Chiudi",  // CloseButton
        L"Riduci a icona",  // MinimiseButton
        L"Premi",  // ActionPress
        L"Seleziona",  // ActionCheck
        L"Deseleziona",  // ActionUncheck
        L"Apri",  // ActionOpen
        L"Chiudi",  // ActionClose
        L"Scegli",  // ActionChoose
        L"Annullamento dell'installazione...",  // StatusCancelling
        L"Quorvel non è installato in questa cartella.",  // ErrorNoInstallation
        L"Avanzamento dell'installazione",  // InstallProgressName
        L"Avanzamento della rimozione",  // RemovalProgressName
        L"Spazio occupato",  // SpaceUsedName
        L"Lo spazio richiesto include il margine per i file temporanei del download.",  // SpaceRequiredNote
        L"Il valore di --limit-rate non è valido. Indica i byte al secondo, per esempio 500k o 2M.",  // ErrorLimitRate
        L"Non è stato possibile rimuovere alcuni file. Chiudi i programmi che li usano e disinstalla di nuovo Quorvel.",  // UninstallLeftText
    }),
    InstallerLanguageEntry("ro", 1250, L"Română", {
        L"Instalare Quorvel",  // WindowTitle
        L"Bun venit",  // StepWelcome
        L"Folder",  // StepFolder
        L"Rezumat",  // StepSummary
        L"Instalare",  // StepInstalling
        L"Finalizat",  // StepFinished
        L"Bun venit în Quorvel",  // WelcomeTitle
        L"Acest asistent va instala jocul pe computerul tău. Alege limba și apasă Înainte pentru a continua.",  // WelcomeText
        L"Limba jocului",  // GameLanguageLabel
        L"Versiune",  // VersionLabel
        L"Dimensiunea jocului",  // GameSizeLabel
        L"A fost găsită o instalare. Fișierele vor fi verificate și reparate.",  // ExistingInstallNote
        L"Unde vrei să instalezi jocul?",  // FolderTitle
        L"Quorvel va fi instalat în acest folder.",  // FolderText
        L"Răsfoiește...",  // BrowseButton
        L"Spațiu necesar",  // SpaceRequiredLabel
        L"Spațiu disponibil",  // SpaceAvailableLabel
        L"Gata de instalare",  // SummaryTitle
        L"Verifică opțiunile și apasă Instalează.",  // SummaryText
        L"Folder de instalare",  // InstallFolderLabel
        L"Creează o scurtătură pe desktop",  // DesktopShortcutOption
        L"Creează o scurtătură în meniul Start",  // StartMenuShortcutOption
        L"Se instalează Quorvel",  // InstallingTitle
        L"Conectare la server...",  // StatusConnecting
        L"Se verifică fișierele...",  // StatusChecking
        L"Se descarcă jocul...",  // StatusDownloading
        L"Se finalizează instalarea...",  // StatusFinishing
        L"Viteză",  // SpeedLabel
        L"Timp rămas",  // TimeLeftLabel
        L"Descărcat",  // DownloadedLabel
        L"Instalare finalizată",  // FinishedTitle
        L"Quorvel este gata de joc. Succes, războinicule!",  // FinishedText
        L"Deschide Quorvel acum",  // LaunchOption
        L"Înapoi",  // BackButton
        L"Înainte",  // NextButton
        L"Instalează",  // InstallButton
        L"Anulează",  // CancelButton
        L"Finalizează",  // FinishButton
        L"Încearcă din nou",  // RetryButton
        L"Vrei să anulezi instalarea? Ce s-a descărcat până acum se păstrează.",  // CancelQuestion
        L"Da",  // YesButton
        L"Nu",  // NoButton
        L"Acest folder nu este valid. Alege un folder de pe un disc local.",  // ErrorFolderInvalid
        L"Nu există suficient spațiu liber pe acest disc.",  // ErrorNoSpace
        L"Nu se poate scrie în acest folder. Alege altul.",  // ErrorNotWritable
        L"Quorvel este deschis. Închide-l și încearcă din nou.",  // ErrorGameRunning
        L"Instalarea a fost întreruptă.",  // ErrorInterrupted
        L"Dezinstalează Quorvel",  // UninstallTitle
        L"Jocul va fi eliminat de pe acest computer.",  // UninstallText
        L"Păstrează capturile de ecran și setările",  // KeepUserDataOption
        L"Dezinstalează",  // UninstallButton
        L"Se elimină fișierele...",  // StatusRemoving
        L"Dezinstalare finalizată",  // UninstallDoneTitle
        L"Quorvel a fost eliminat de pe acest computer.",  // UninstallDoneText
        L"Închide",  // CloseButton
        L"Minimizează",  // MinimiseButton
        L"Apasă",  // ActionPress
        L"Bifează",  // ActionCheck
        L"Debifează",  // ActionUncheck
        L"Deschide",  // ActionOpen
        L"Închide",  // ActionClose
        L"Alege",  // ActionChoose
        L"Se anulează instalarea...",  // StatusCancelling
        L"Quorvel nu este instalat în acest folder.",  // ErrorNoInstallation
        L"Progresul instalării",  // InstallProgressName
        L"Progresul dezinstalării",  // RemovalProgressName
        L"Spațiu ocupat",  // SpaceUsedName
        L"Spațiul necesar include loc pentru fișierele temporare ale descărcării.",  // SpaceRequiredNote
        L"Valoarea pentru --limit-rate nu este validă. Indică numărul de octeți pe secundă, de exemplu 500k sau 2M.",  // ErrorLimitRate
        L"Unele fișiere nu au putut fi eliminate. Închide programele care le folosesc, apoi dezinstalează din nou Quorvel.",  // UninstallLeftText
    }),
    InstallerLanguageEntry("pl", 1250, L"Polski", {
        L"Instalator Quorvel",  // WindowTitle
        L"Witaj",  // StepWelcome
        L"Folder",  // StepFolder
        L"Podsumowanie",  // StepSummary
        L"Instalacja",  // StepInstalling
        L"Gotowe",  // StepFinished
        L"Witaj w Quorvel",  // WelcomeTitle
        L"Ten kreator zainstaluje grę na Twoim komputerze. Wybierz język i kliknij Dalej, aby kontynuować.",  // WelcomeText
        L"Język gry",  // GameLanguageLabel
        L"Wersja",  // VersionLabel
        L"Rozmiar gry",  // GameSizeLabel
        L"Znaleziono instalację. Jej pliki zostaną sprawdzone i naprawione.",  // ExistingInstallNote
        L"Gdzie chcesz zainstalować grę?",  // FolderTitle
        L"Quorvel zostanie zainstalowany w tym folderze.",  // FolderText
        L"Przeglądaj...",  // BrowseButton
        L"Wymagane miejsce",  // SpaceRequiredLabel
        L"Dostępne miejsce",  // SpaceAvailableLabel
        L"Gotowy do instalacji",  // SummaryTitle
        L"Sprawdź opcje i kliknij Zainstaluj.",  // SummaryText
        L"Folder instalacji",  // InstallFolderLabel
        L"Utwórz skrót na pulpicie",  // DesktopShortcutOption
        L"Utwórz skrót w menu Start",  // StartMenuShortcutOption
        L"Instalowanie Quorvel",  // InstallingTitle
        L"Łączenie z serwerem...",  // StatusConnecting
        L"Sprawdzanie plików...",  // StatusChecking
        L"Pobieranie gry...",  // StatusDownloading
        L"Kończenie instalacji...",  // StatusFinishing
        L"Prędkość",  // SpeedLabel
        L"Pozostały czas",  // TimeLeftLabel
        L"Pobrano",  // DownloadedLabel
        L"Instalacja zakończona",  // FinishedTitle
        L"Quorvel jest gotowy do gry. Powodzenia, wojowniku!",  // FinishedText
        L"Otwórz teraz Quorvel",  // LaunchOption
        L"Wstecz",  // BackButton
        L"Dalej",  // NextButton
        L"Zainstaluj",  // InstallButton
        L"Anuluj",  // CancelButton
        L"Zakończ",  // FinishButton
        L"Spróbuj ponownie",  // RetryButton
        L"Czy anulować instalację? Pobrane dotąd pliki zostaną zachowane.",  // CancelQuestion
        L"Tak",  // YesButton
        L"Nie",  // NoButton
        L"Ten folder jest nieprawidłowy. Wybierz folder na dysku lokalnym.",  // ErrorFolderInvalid
        L"Na tym dysku jest za mało wolnego miejsca.",  // ErrorNoSpace
        L"Nie można zapisywać w tym folderze. Wybierz inny.",  // ErrorNotWritable
        L"Quorvel jest otwarty. Zamknij go i spróbuj ponownie.",  // ErrorGameRunning
        L"Instalacja została przerwana.",  // ErrorInterrupted
        L"Odinstaluj Quorvel",  // UninstallTitle
        L"Gra zostanie usunięta z tego komputera.",  // UninstallText
        L"Zachowaj zrzuty ekranu i ustawienia",  // KeepUserDataOption
        L"Odinstaluj",  // UninstallButton
        L"Usuwanie plików...",  // StatusRemoving
        L"Dezinstalacja zakończona",  // UninstallDoneTitle
        L"Quorvel został usunięty z tego komputera.",  // UninstallDoneText
        L"Zamknij",  // CloseButton
        L"Minimalizuj",  // MinimiseButton
        L"Naciśnij",  // ActionPress
        L"Zaznacz",  // ActionCheck
        L"Odznacz",  // ActionUncheck
        L"Otwórz",  // ActionOpen
        L"Zamknij",  // ActionClose
        L"Wybierz",  // ActionChoose
        L"Anulowanie instalacji...",  // StatusCancelling
        L"Quorvel nie jest zainstalowany w tym folderze.",  // ErrorNoInstallation
        L"Postęp instalacji",  // InstallProgressName
        L"Postęp usuwania",  // RemovalProgressName
        L"Zajęte miejsce",  // SpaceUsedName
        L"Wymagane miejsce obejmuje też pliki tymczasowe tworzone podczas pobierania.",  // SpaceRequiredNote
        L"Wartość --limit-rate jest nieprawidłowa. Podaj liczbę bajtów na sekundę, na przykład 500k lub 2M.",  // ErrorLimitRate
        L"Nie udało się usunąć niektórych plików. Zamknij programy, które ich używają, i ponownie odinstaluj Quorvel.",  // UninstallLeftText
    }),
    InstallerLanguageEntry("cz", 1250, L"Čeština", {
        L"Instalace Quorvel",  // WindowTitle
        L"Vítejte",  // StepWelcome
        L"Složka",  // StepFolder
        L"Souhrn",  // StepSummary
        L"Instalace",  // StepInstalling
        L"Hotovo",  // StepFinished
        L"Vítejte v Quorvel",  // WelcomeTitle
        L"Tento průvodce nainstaluje hru do tvého počítače. Vyber jazyk a pokračuj kliknutím na Další.",  // WelcomeText
        L"Jazyk hry",  // GameLanguageLabel
        L"Verze",  // VersionLabel
        L"Velikost hry",  // GameSizeLabel
        L"Byla nalezena instalace. Její soubory budou zkontrolovány a opraveny.",  // ExistingInstallNote
        L"Kam chceš hru nainstalovat?",  // FolderTitle
        L"Quorvel bude nainstalován do této složky.",  // FolderText
        L"Procházet...",  // BrowseButton
        L"Potřebné místo",  // SpaceRequiredLabel
        L"Volné místo",  // SpaceAvailableLabel
        L"Připraveno k instalaci",  // SummaryTitle
        L"Zkontroluj možnosti a klikni na Instalovat.",  // SummaryText
        L"Instalační složka",  // InstallFolderLabel
        L"Vytvořit zástupce na ploše",  // DesktopShortcutOption
        L"Vytvořit zástupce v nabídce Start",  // StartMenuShortcutOption
        L"Instalace Quorvel",  // InstallingTitle
        L"Připojování k serveru...",  // StatusConnecting
        L"Kontrola souborů...",  // StatusChecking
        L"Stahování hry...",  // StatusDownloading
        L"Dokončování instalace...",  // StatusFinishing
        L"Rychlost",  // SpeedLabel
        L"Zbývající čas",  // TimeLeftLabel
        L"Staženo",  // DownloadedLabel
        L"Instalace dokončena",  // FinishedTitle
        L"Quorvel je připraven ke hře. Hodně štěstí, válečníku!",  // FinishedText
        L"Otevřít Quorvel",  // LaunchOption
        L"Zpět",  // BackButton
        L"Další",  // NextButton
        L"Instalovat",  // InstallButton
        L"Zrušit",  // CancelButton
        L"Dokončit",  // FinishButton
        L"Zkusit znovu",  // RetryButton
        L"Chceš instalaci zrušit? Dosud stažené soubory zůstanou zachovány.",  // CancelQuestion
        L"Ano",  // YesButton
        L"Ne",  // NoButton
        L"Tato složka není platná. Vyber složku na místním disku.",  // ErrorFolderInvalid
        L"Na tomto disku není dost volného místa.",  // ErrorNoSpace
        L"Do této složky nelze zapisovat. Vyber jinou.",  // ErrorNotWritable
        L"Quorvel je otevřený. Zavři ho a zkus to znovu.",  // ErrorGameRunning
        L"Instalace byla přerušena.",  // ErrorInterrupted
        L"Odinstalovat Quorvel",  // UninstallTitle
        L"Hra bude z tohoto počítače odstraněna.",  // UninstallText
        L"Zachovat snímky obrazovky a nastavení",  // KeepUserDataOption
        L"Odinstalovat",  // UninstallButton
        L"Odstraňování souborů...",  // StatusRemoving
        L"Odinstalace dokončena",  // UninstallDoneTitle
        L"Quorvel byl z tohoto počítače odstraněn.",  // UninstallDoneText
        L"Zavřít",  // CloseButton
        L"Minimalizovat",  // MinimiseButton
        L"Stisknout",  // ActionPress
        L"Zaškrtnout",  // ActionCheck
        L"Zrušit zaškrtnutí",  // ActionUncheck
        L"Otevřít",  // ActionOpen
        L"Zavřít",  // ActionClose
        L"Vybrat",  // ActionChoose
        L"Rušení instalace...",  // StatusCancelling
        L"Quorvel není v této složce nainstalován.",  // ErrorNoInstallation
        L"Průběh instalace",  // InstallProgressName
        L"Průběh odinstalace",  // RemovalProgressName
        L"Obsazené místo",  // SpaceUsedName
        L"Potřebné místo zahrnuje i dočasné soubory, které vznikají během stahování.",  // SpaceRequiredNote
        L"Hodnota --limit-rate není platná. Zadej počet bajtů za sekundu, například 500k nebo 2M.",  // ErrorLimitRate
        L"Některé soubory se nepodařilo odstranit. Zavři programy, které je používají, a odinstaluj Quorvel znovu.",  // UninstallLeftText
    }),
    InstallerLanguageEntry("hu", 1250, L"Magyar", {
        L"Quorvel telepítő",  // WindowTitle
        L"Üdvözlet",  // StepWelcome
        L"Mappa",  // StepFolder
        L"Összegzés",  // StepSummary
        L"Telepítés",  // StepInstalling
        L"Kész",  // StepFinished
        L"Üdvözöl a Quorvel",  // WelcomeTitle
        L"Ez a varázsló telepíti a játékot a számítógépedre. Válaszd ki a nyelvet, majd kattints a Tovább gombra.",  // WelcomeText
        L"A játék nyelve",  // GameLanguageLabel
        L"Verzió",  // VersionLabel
        L"A játék mérete",  // GameSizeLabel
        L"Találtunk egy telepítést. A fájlok ellenőrzése és javítása következik.",  // ExistingInstallNote
        L"Hová szeretnéd telepíteni a játékot?",  // FolderTitle
        L"A Quorvel ebbe a mappába kerül.",  // FolderText
        L"Tallózás...",  // BrowseButton
        L"Szükséges hely",  // SpaceRequiredLabel
        L"Szabad hely",  // SpaceAvailableLabel
        L"Készen áll a telepítésre",  // SummaryTitle
        L"Ellenőrizd a beállításokat, majd kattints a Telepítés gombra.",  // SummaryText
        L"Telepítési mappa",  // InstallFolderLabel
        L"Parancsikon létrehozása az asztalon",  // DesktopShortcutOption
        L"Parancsikon létrehozása a Start menüben",  // StartMenuShortcutOption
        L"A Quorvel telepítése",  // InstallingTitle
        L"Csatlakozás a szerverhez...",  // StatusConnecting
        L"Fájlok ellenőrzése...",  // StatusChecking
        L"A játék letöltése...",  // StatusDownloading
        L"A telepítés befejezése...",  // StatusFinishing
        L"Sebesség",  // SpeedLabel
        L"Hátralévő idő",  // TimeLeftLabel
        L"Letöltve",  // DownloadedLabel
        L"A telepítés befejeződött",  // FinishedTitle
        L"A Quorvel készen áll. Sok sikert, harcos!",  // FinishedText
        L"A Quorvel megnyitása most",  // LaunchOption
        L"Vissza",  // BackButton
        L"Tovább",  // NextButton
        L"Telepítés",  // InstallButton
        L"Mégse",  // CancelButton
        L"Befejezés",  // FinishButton
        L"Újra",  // RetryButton
        L"Megszakítod a telepítést? Az eddig letöltött fájlok megmaradnak.",  // CancelQuestion
        L"Igen",  // YesButton
        L"Nem",  // NoButton
        L"Ez a mappa nem érvényes. Válassz egy helyi lemezen lévő mappát.",  // ErrorFolderInvalid
        L"Nincs elég szabad hely ezen a lemezen.",  // ErrorNoSpace
        L"Ebbe a mappába nem lehet írni. Válassz másikat.",  // ErrorNotWritable
        L"A Quorvel meg van nyitva. Zárd be, majd próbáld újra.",  // ErrorGameRunning
        L"A telepítés megszakadt.",  // ErrorInterrupted
        L"A Quorvel eltávolítása",  // UninstallTitle
        L"A játék törlődik erről a számítógépről.",  // UninstallText
        L"Képernyőképek és beállítások megtartása",  // KeepUserDataOption
        L"Eltávolítás",  // UninstallButton
        L"Fájlok eltávolítása...",  // StatusRemoving
        L"Az eltávolítás befejeződött",  // UninstallDoneTitle
        L"A Quorvel törölve lett erről a számítógépről.",  // UninstallDoneText
        L"Bezárás",  // CloseButton
        L"Kis méret",  // MinimiseButton
        L"Lenyomás",  // ActionPress
        L"Bejelölés",  // ActionCheck
        L"Jelölés törlése",  // ActionUncheck
        L"Megnyitás",  // ActionOpen
        L"Bezárás",  // ActionClose
        L"Kiválasztás",  // ActionChoose
        L"A telepítés megszakítása...",  // StatusCancelling
        L"A Quorvel nincs telepítve ebben a mappában.",  // ErrorNoInstallation
        L"Telepítés állapota",  // InstallProgressName
        L"Eltávolítás állapota",  // RemovalProgressName
        L"Foglalt hely",  // SpaceUsedName
        L"A szükséges hely a letöltés ideiglenes fájljainak helyét is tartalmazza.",  // SpaceRequiredNote
        L"A --limit-rate értéke érvénytelen. Add meg a bájtok számát másodpercenként, például 500k vagy 2M.",  // ErrorLimitRate
        L"Néhány fájlt nem sikerült eltávolítani. Zárd be az őket használó programokat, majd távolítsd el újra a Quorvelt.",  // UninstallLeftText
    }),
    InstallerLanguageEntry("tr", 1254, L"Türkçe", {
        L"Quorvel Kurulumu",  // WindowTitle
        L"Hoş geldin",  // StepWelcome
        L"Klasör",  // StepFolder
        L"Özet",  // StepSummary
        L"Kurulum",  // StepInstalling
        L"Tamamlandı",  // StepFinished
        L"Quorvel'e hoş geldin",  // WelcomeTitle
        L"Bu sihirbaz oyunu bilgisayarına kuracak. Dilini seç ve devam etmek için İleri'ye tıkla.",  // WelcomeText
        L"Oyun dili",  // GameLanguageLabel
        L"Sürüm",  // VersionLabel
        L"Oyun boyutu",  // GameSizeLabel
        L"Mevcut bir kurulum bulundu. Dosyaları kontrol edilip onarılacak.",  // ExistingInstallNote
        L"Oyunu nereye kurmak istiyorsun?",  // FolderTitle
        L"Quorvel bu klasöre kurulacak.",  // FolderText
        L"Gözat...",  // BrowseButton
        L"Gereken alan",  // SpaceRequiredLabel
        L"Kullanılabilir alan",  // SpaceAvailableLabel
        L"Kuruluma hazır",  // SummaryTitle
        L"Seçeneklerini kontrol et ve Kur'a tıkla.",  // SummaryText
        L"Kurulum klasörü",  // InstallFolderLabel
        L"Masaüstüne kısayol oluştur",  // DesktopShortcutOption
        L"Başlat menüsüne kısayol oluştur",  // StartMenuShortcutOption
        L"Quorvel kuruluyor",  // InstallingTitle
        L"Sunucuya bağlanılıyor...",  // StatusConnecting
        L"Dosyalar kontrol ediliyor...",  // StatusChecking
        L"Oyun indiriliyor...",  // StatusDownloading
        L"Kurulum tamamlanıyor...",  // StatusFinishing
        L"Hız",  // SpeedLabel
        L"Kalan süre",  // TimeLeftLabel
        L"İndirilen",  // DownloadedLabel
        L"Kurulum tamamlandı",  // FinishedTitle
        L"Quorvel oynamaya hazır. Bol şans, savaşçı!",  // FinishedText
        L"Quorvel'i şimdi aç",  // LaunchOption
        L"Geri",  // BackButton
        L"İleri",  // NextButton
        L"Kur",  // InstallButton
        L"İptal",  // CancelButton
        L"Bitir",  // FinishButton
        L"Yeniden dene",  // RetryButton
        L"Kurulumu iptal etmek istiyor musun? İndirilen dosyalar saklanır.",  // CancelQuestion
        L"Evet",  // YesButton
        L"Hayır",  // NoButton
        L"Bu klasör geçerli değil. Yerel bir diskte klasör seç.",  // ErrorFolderInvalid
        L"Bu diskte yeterli boş alan yok.",  // ErrorNoSpace
        L"Bu klasöre yazılamıyor. Başka bir klasör seç.",  // ErrorNotWritable
        L"Quorvel açık. Kapatıp yeniden dene.",  // ErrorGameRunning
        L"Kurulum yarıda kesildi.",  // ErrorInterrupted
        L"Quorvel'i kaldır",  // UninstallTitle
        L"Oyun bu bilgisayardan kaldırılacak.",  // UninstallText
        L"Ekran görüntülerimi ve ayarlarımı sakla",  // KeepUserDataOption
        L"Kaldır",  // UninstallButton
        L"Dosyalar kaldırılıyor...",  // StatusRemoving
        L"Kaldırma tamamlandı",  // UninstallDoneTitle
        L"Quorvel bu bilgisayardan kaldırıldı.",  // UninstallDoneText
        L"Kapat",  // CloseButton
        L"Simge durumuna küçült",  // MinimiseButton
        L"Bas",  // ActionPress
        L"İşaretle",  // ActionCheck
        L"İşareti kaldır",  // ActionUncheck
        L"Aç",  // ActionOpen
        L"Kapat",  // ActionClose
        L"Seç",  // ActionChoose
        L"Kurulum iptal ediliyor...",  // StatusCancelling
        L"Quorvel bu klasörde kurulu değil.",  // ErrorNoInstallation
        L"Kurulum ilerlemesi",  // InstallProgressName
        L"Kaldırma ilerlemesi",  // RemovalProgressName
        L"Kullanılan alan",  // SpaceUsedName
        L"Gereken alana, indirme sırasındaki geçici dosyaların yeri de dahildir.",  // SpaceRequiredNote
        L"--limit-rate değeri geçerli değil. Saniyedeki bayt sayısını gir, örneğin 500k veya 2M.",  // ErrorLimitRate
        L"Bazı dosyalar kaldırılamadı. Bu dosyaları kullanan programları kapat ve Quorvel'i yeniden kaldır.",  // UninstallLeftText
    }),
};
